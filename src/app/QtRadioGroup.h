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
  // `columns` > 1 sets the items side by side, filled row by row.
  TRadioGroup(const QStringList& items, QWidget* parent = nullptr, int columns = 1);
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
