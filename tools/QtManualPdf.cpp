// zarmanual: the operator's manual from its Markdown chapters to PDF.
//
//   zarmanual --out zarlink-manual.pdf --images SHOTS --title "..." [--font FAMILY[,FAMILY]] CHAPTER.md...
//
// The chapters are joined in the order given (each "# " heading starts a new
// page) after a contents list made of those headings. Images are named
// relative to --images, where `zarlink --screenshot` has just rendered the
// windows, so the pictures always show the program as built; an image that
// is not there stops the build. Qt's own Markdown reader and PDF writer do
// the work: no TeX, no browser.
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QStringList>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextImageFormat>

#include <cstdio>

namespace {

struct Options {
  QString out, images, title, font = QStringLiteral("DejaVu Sans"), contents = QStringLiteral("Contents");
  QStringList chapters;
};

bool parse(const QStringList& args, Options& o) {
  for (int i = 1; i < args.size(); ++i) {
    const QString& a = args[i];
    auto value = [&](QString& into) {
      if (i + 1 >= args.size()) return false;
      into = args[++i];
      return true;
    };
    if (a == QLatin1String("--out")) {
      if (!value(o.out)) return false;
    } else if (a == QLatin1String("--images")) {
      if (!value(o.images)) return false;
    } else if (a == QLatin1String("--title")) {
      if (!value(o.title)) return false;
    } else if (a == QLatin1String("--font")) {
      if (!value(o.font)) return false;
    } else if (a == QLatin1String("--contents")) {
      if (!value(o.contents)) return false;
    } else if (a.startsWith(QLatin1String("--"))) {
      return false;
    } else {
      o.chapters << a;
    }
  }
  return !o.out.isEmpty() && !o.chapters.isEmpty();
}

// The chapters joined, with a contents list of their "# " headings in front.
QString joinChapters(const Options& o, bool* ok) {
  QString body, contents;
  for (const QString& path : o.chapters) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
      std::fprintf(stderr, "zarmanual: cannot read %s: %s\n", qPrintable(path), qPrintable(f.errorString()));
      *ok = false;
      return {};
    }
    const QString text = QString::fromUtf8(f.readAll());
    bool fenced = false;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
      if (line.startsWith(QLatin1String("```"))) fenced = !fenced;
      if (!fenced && line.startsWith(QLatin1String("# "))) contents += QStringLiteral("- ") + line.mid(2) + QLatin1Char('\n');
    }
    body += text + QStringLiteral("\n\n");
  }
  *ok = true;
  return QStringLiteral("# ") + o.title + QStringLiteral("\n\n**") + o.contents + QStringLiteral("**\n\n") +
         contents + QStringLiteral("\n\n") + body;
}

// Loads every image the text names into the document, no wider than the
// text column; false when one is missing.
bool placeImages(QTextDocument& doc, const QString& imageDir) {
  constexpr int kColumnWidth = 600;  // A4 less 2 cm margins, in 96-dpi pixels
  bool ok = true;
  for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextFragment fragment = it.fragment();
      if (!fragment.isValid() || !fragment.charFormat().isImageFormat()) continue;
      QTextImageFormat format = fragment.charFormat().toImageFormat();
      const QString path = imageDir + QLatin1Char('/') + format.name();
      QImage image(path);
      if (image.isNull()) {
        std::fprintf(stderr, "zarmanual: image %s is missing\n", qPrintable(path));
        ok = false;
        continue;
      }
      doc.addResource(QTextDocument::ImageResource, QUrl(format.name()), image);
      const int width = qMin(image.width(), kColumnWidth);
      format.setWidth(width);
      format.setHeight(qreal(image.height()) * width / image.width());
      QTextCursor cursor(&doc);
      cursor.setPosition(fragment.position());
      cursor.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
      cursor.setCharFormat(format);
    }
  }
  return ok;
}

// Every chapter after the title and contents starts on a new page.
void breakBeforeChapters(QTextDocument& doc) {
  int chapters = 0;
  for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
    if (block.blockFormat().headingLevel() != 1 || chapters++ < 1) continue;
    QTextBlockFormat format = block.blockFormat();
    format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    QTextCursor(block).setBlockFormat(format);
  }
}

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  Options o;
  if (!parse(app.arguments(), o)) {
    std::fprintf(stderr,
                 "usage: zarmanual --out PDF --images DIR --title TEXT [--font FAMILY] [--contents WORD] "
                 "CHAPTER.md...\n");
    return 2;
  }
  bool ok = false;
  const QString markdown = joinChapters(o, &ok);
  if (!ok) return 1;

  QTextDocument doc;
  // "Latin,CJK": the first family for what it covers, the next for the rest.
  QFont font;
  font.setFamilies(o.font.split(QLatin1Char(','), Qt::SkipEmptyParts));
  font.setPointSize(10);
  doc.setDefaultFont(font);
  doc.setMarkdown(markdown, QTextDocument::MarkdownDialectGitHub);
  if (!placeImages(doc, o.images)) return 1;
  breakBeforeChapters(doc);

  QPdfWriter writer(o.out);
  writer.setResolution(300);
  writer.setPageSize(QPageSize(QPageSize::A4));
  writer.setTitle(o.title);
  writer.setCreator(QStringLiteral("zarmanual"));
  doc.print(&writer);
  if (QFileInfo(o.out).size() == 0) {
    std::fprintf(stderr, "zarmanual: %s was not written\n", qPrintable(o.out));
    return 1;
  }
  return 0;
}
