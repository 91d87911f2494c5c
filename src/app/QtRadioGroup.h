#pragma once
// A captioned group of radio buttons chosen by index.

#include <QGroupBox>
#include <QStringList>

class QButtonGroup;
class QRadioButton;

namespace zar {

// A captioned group of radio buttons with an item index (-1 none checked).
class TRadioGroup : public QGroupBox {
  Q_OBJECT
 public:
  TRadioGroup(const QStringList& items, QWidget* parent = nullptr);
  int itemIndex() const;
  void setItemIndex(int index);
  QRadioButton* item(int index) const;
  int count() const;

 signals:
  void itemIndexChanged(int index);

 private:
  QButtonGroup* group_;
};

}  // namespace zar
