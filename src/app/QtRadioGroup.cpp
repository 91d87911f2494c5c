#include "app/QtRadioGroup.h"

#include <QButtonGroup>
#include <QRadioButton>
#include <QGridLayout>

#include <algorithm>

namespace zar {

TRadioGroup::TRadioGroup(const QStringList& items, QWidget* parent, int columns) : QGroupBox(parent) {
  group_ = new QButtonGroup(this);
  columns = std::max(columns, 1);
  auto* layout = new QGridLayout(this);
  layout->setContentsMargins(10, 4, 8, 6);
  layout->setSpacing(2);
  for (int i = 0; i < items.size(); ++i) {
    auto* button = new QRadioButton(items[i], this);
    button->setObjectName(QStringLiteral("%1Item%2").arg(objectName()).arg(i));
    group_->addButton(button, i);
    layout->addWidget(button, i / columns, i % columns);
  }
  connect(group_, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
    if (checked) emit itemIndexChanged(id);
  });
}

int TRadioGroup::itemIndex() const { return group_->checkedId(); }

void TRadioGroup::setItemIndex(int index) {
  if (QAbstractButton* b = group_->button(index)) {
    b->setChecked(true);
  } else if (QAbstractButton* checked = group_->checkedButton()) {
    group_->setExclusive(false);
    checked->setChecked(false);
    group_->setExclusive(true);
  }
}

QRadioButton* TRadioGroup::item(int index) const { return qobject_cast<QRadioButton*>(group_->button(index)); }

int TRadioGroup::count() const { return static_cast<int>(group_->buttons().size()); }

}  // namespace zar
