#include "app/AboutForm.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/MessageCatalog.h"
#include "ui/QtText.h"

#ifndef ZAR_VERSION
#define ZAR_VERSION "0.1.0"
#endif

namespace zar {
namespace {

constexpr int kBadgeWidth = 120;

// The blue band with the product mark on the left of the window.
class Badge : public QWidget {
 public:
  explicit Badge(QWidget* parent) : QWidget(parent) { setFixedWidth(kBadgeWidth); }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient fill(0, 0, 0, height());
    fill.setColorAt(0, QColor(0x1d, 0x4e, 0x89));
    fill.setColorAt(1, QColor(0x0b, 0x2a, 0x4f));
    p.fillRect(rect(), fill);
    QFont mark = font();
    mark.setBold(true);
    mark.setPointSize(26);
    p.setFont(mark);
    p.setPen(Qt::white);
    p.drawText(QRect(0, 0, width(), height() - 30), Qt::AlignCenter, QStringLiteral("ZAR"));
    QFont small = font();
    small.setPointSize(9);
    p.setFont(small);
    p.setPen(QColor(0xb8, 0xcf, 0xea));
    p.drawText(QRect(0, height() / 2 + 10, width(), 24), Qt::AlignCenter, QStringLiteral("zarlink"));
  }
};

}  // namespace

QString productTitle(int language) {
  return language == 0 ? QString::fromUtf8("zarlink \u2014 ZAR 數控通訊程式")
                       : QStringLiteral("zarlink \u2014 ZAR NC Communication Utility");
}

QString productVersion() { return QStringLiteral(ZAR_VERSION); }

TAboutForm::TAboutForm(int language, const MessageCatalog& catalog, bool asSplash, QWidget* parent)
    : QDialog(parent) {
  setObjectName(QStringLiteral("AboutForm"));
  setWindowTitle(language == 0 ? QString::fromUtf8("關於 zarlink") : QStringLiteral("About zarlink"));
  if (asSplash) {
    setWindowFlags(Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
  } else {
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setModal(true);
  }

  auto* outer = new QHBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->setSpacing(0);
  outer->addWidget(new Badge(this));

  auto* body = new QVBoxLayout;
  body->setContentsMargins(20, 18, 20, 14);
  body->setSpacing(8);
  outer->addLayout(body, 1);

  TitleLabel = new QLabel(productTitle(language), this);
  TitleLabel->setObjectName(QStringLiteral("TitleLabel"));
  QFont titleFont = TitleLabel->font();
  titleFont.setBold(true);
  titleFont.setPointSizeF(titleFont.pointSizeF() * 1.25);
  TitleLabel->setFont(titleFont);
  TitleLabel->setWordWrap(true);
  body->addWidget(TitleLabel);

  VersionLabel = new QLabel((language == 0 ? QString::fromUtf8("版本 ") : QStringLiteral("Version ")) +
                                productVersion(),
                            this);
  VersionLabel->setObjectName(QStringLiteral("VersionLabel"));
  body->addWidget(VersionLabel);

  AboutText = new QLabel(catalogText(catalog, 100), this);
  AboutText->setObjectName(QStringLiteral("AboutText"));
  AboutText->setWordWrap(true);
  body->addWidget(AboutText);
  body->addStretch(1);

  VendorLabel = new QLabel(
      language == 0 ? QString::fromUtf8("zarlink 專案 \u00b7 適用 ZAR 系列數值控制器 \u00b7 RS-232")
                    : QStringLiteral("The zarlink project \u00b7 for ZAR-series NC controllers \u00b7 RS-232"),
      this);
  VendorLabel->setObjectName(QStringLiteral("VendorLabel"));
  QPalette muted = VendorLabel->palette();
  muted.setColor(QPalette::WindowText, QColor(0x55, 0x5f, 0x6b));
  VendorLabel->setPalette(muted);
  VendorLabel->setWordWrap(true);
  body->addWidget(VendorLabel);

  CloseBtn = new QPushButton(language == 0 ? QString::fromUtf8("關閉") : QStringLiteral("Close"), this);
  CloseBtn->setObjectName(QStringLiteral("CloseBtn"));
  CloseBtn->setDefault(true);
  connect(CloseBtn, &QPushButton::clicked, this, &QDialog::accept);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(CloseBtn);
  body->addLayout(buttons);
  CloseBtn->setVisible(!asSplash);

  setFixedSize(580, 230);
}

void TAboutForm::paintEvent(QPaintEvent* event) {
  QDialog::paintEvent(event);
  // A thin frame, so the frameless splash stands out from what is behind it.
  QPainter p(this);
  p.setPen(QColor(0x8a, 0x93, 0x9e));
  p.drawRect(rect().adjusted(0, 0, -1, -1));
}

}  // namespace zar
