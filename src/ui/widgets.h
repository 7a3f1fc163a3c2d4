// Small widgets and factory helpers for the windows: every control gets its component name as its
// objectName, so the form view finds it by that name.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QTreeWidget>
#include <functional>

namespace nord5::ui {

// A string grid addressed [column, row] like the meter tool's grids: row 0 and column 0 may be
// fixed (header) cells, drawn greyed and not editable. Non-fixed cells are drawn with the current
// cell in bold red on silver and the rest of its row and column on cyan.
class StringGrid : public QTableWidget {
  Q_OBJECT
 public:
  StringGrid(QWidget* parent, int cols, int rows, int fixed_cols, int fixed_rows);
  int FixedCols() const { return fixed_cols_; }
  int FixedRows() const { return fixed_rows_; }
  void SetFixedRows(int rows);
  // Highlighting of the current row and column (off for grids that use the standard look).
  void SetCrossHighlight(bool on) {
    cross_highlight_ = on;
    viewport()->update();
  }
  bool CrossHighlight() const { return cross_highlight_; }
  // Typing filter of the cell editor (a KeyFilterKind), or -1 for none.
  void SetKeyFilter(int kind) { key_filter_ = kind; }
  int KeyFilterType() const { return key_filter_; }
  // Called when a cell editor opens, with the cell and its text before editing.
  std::function<void(int col, int row, const QString& text)> edit_started;
  bool Editing() const { return state() == QAbstractItemView::EditingState; }
  QString CellText(int col, int row) const;
  void SetCellText(int col, int row, const QString& text);
  void Resize(int cols, int rows);

 private:
  void StyleItem(int col, int row);
  int fixed_cols_;
  int fixed_rows_;
  bool cross_highlight_ = true;
  int key_filter_ = -1;
};

class GridDelegate : public QStyledItemDelegate {
 public:
  explicit GridDelegate(StringGrid* grid) : QStyledItemDelegate(grid), grid_(grid) {}
  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const override;

 private:
  StringGrid* grid_;
};

// Scales a window designed at 96 dpi by 96 / the screen's dpi, so it keeps its proportions.
void ScaleFormTo96(QWidget* window);

// Factory helpers; `caption` uses the toolkit's "&&" for a literal ampersand.
QLabel* MakeLabel(QWidget* parent, const QString& name, const QString& caption);
QLineEdit* MakeEdit(QWidget* parent, const QString& name, const QString& text,
                    bool read_only = false);
QCheckBox* MakeCheck(QWidget* parent, const QString& name, const QString& caption,
                     bool checked = false);
QRadioButton* MakeRadio(QWidget* parent, const QString& name, const QString& caption,
                        bool checked = false);
QComboBox* MakeCombo(QWidget* parent, const QString& name, const QStringList& items,
                     int index = -1);
QPushButton* MakeButton(QWidget* parent, const QString& name, const QString& caption);
QGroupBox* MakeGroup(QWidget* parent, const QString& name, const QString& caption);
QSpinBox* MakeSpin(QWidget* parent, const QString& name, int min, int max, int value);
StringGrid* MakeGrid(QWidget* parent, const QString& name, int cols, int rows, int fixed_cols,
                     int fixed_rows);
// A list with check boxes (one column); `header` empty hides the header.
QTreeWidget* MakeCheckList(QWidget* parent, const QString& name, const QStringList& items,
                           const QString& header);

}  // namespace nord5::ui
