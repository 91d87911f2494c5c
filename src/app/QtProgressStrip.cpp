#include "app/QtProgressStrip.h"

#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>

#include "link/Link.h"
#include "link/ProgressText.h"

namespace zar {

QtProgressStrip::QtProgressStrip(Link& link, QWidget* window, QWidget* parent) : QWidget(parent), link_(link) {
  setObjectName(QStringLiteral("ProgressStrip"));
  TransferProgress = new QProgressBar(this);
  TransferProgress->setObjectName(QStringLiteral("TransferProgress"));
  TransferProgress->setTextVisible(true);
  TransferEstimate = new QLabel(this);
  TransferEstimate->setObjectName(QStringLiteral("TransferEstimate"));
  TransferEstimate->setMinimumWidth(220);
  TransferCancelBtn = new QPushButton(QStringLiteral("Cancel"), this);
  TransferCancelBtn->setObjectName(QStringLiteral("TransferCancelBtn"));
  // The buttons of the pages are locked while a dialogue runs; this one
  // must not take the Enter of a question shown meanwhile.
  TransferCancelBtn->setAutoDefault(false);
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->addWidget(TransferProgress, 1);
  row->addWidget(TransferEstimate);
  row->addWidget(TransferCancelBtn);
  connect(TransferCancelBtn, &QPushButton::clicked, this, &QtProgressStrip::TransferCancelBtnClick);
  escape_ = new QShortcut(QKeySequence(Qt::Key_Escape), window);
  escape_->setContext(Qt::WindowShortcut);
  connect(escape_, &QShortcut::activated, this, &QtProgressStrip::TransferCancelBtnClick);
  link_.progress().setObserver(this);
  hide();
}

QtProgressStrip::~QtProgressStrip() {
  if (link_.progress().observer() == this) link_.progress().setObserver(nullptr);
}

void QtProgressStrip::setCancelCaption(const QString& text) { TransferCancelBtn->setText(text); }

void QtProgressStrip::TransferCancelBtnClick() {
  // Only a running dialogue is stopped: a request while none runs would
  // stop the next one at its first frame.
  if (!link_.busy()) return;
  link_.requestCancel();
  TransferCancelBtn->setEnabled(false);
}

void QtProgressStrip::progressStarted() {
  TransferProgress->setRange(0, 0);  // busy until a total is known
  TransferEstimate->clear();
  TransferCancelBtn->setEnabled(true);
  show();
}

void QtProgressStrip::progressChanged(const ProgressSnapshot& now) {
  if (const auto fraction = now.fraction()) {
    TransferProgress->setRange(0, 1000);
    TransferProgress->setValue(static_cast<int>(*fraction * 1000));
  } else {
    TransferProgress->setRange(0, 0);
  }
  TransferEstimate->setText(QString::fromStdString(progressEstimate(now)));
}

void QtProgressStrip::progressEnded(const ProgressSnapshot& last, DialogueOutcome outcome) {
  (void)last;
  (void)outcome;
  TransferProgress->setRange(0, 1000);
  TransferProgress->setValue(0);
  TransferEstimate->clear();
  hide();
}

}  // namespace zar
