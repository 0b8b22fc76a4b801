#pragma once
// The rows of the Mail page's message grid `hg_POP`: the eight columns of a folder's
// records, the last four hidden, unread rows drawn on silver.
#include "mail/MessageGrid.h"

#include <QAbstractTableModel>
#include <QIcon>
#include <vector>

class TMessageGridModel : public QAbstractTableModel {
  Q_OBJECT
public:
  enum TColumn { colMark, colFrom, colSubject, colDate, colStatus, colPath, colName, colMsgNum, colCount };

  using QAbstractTableModel::QAbstractTableModel;

  // Always at least one row: an empty one when `rows` is empty.
  void SetRows(std::vector<TMessageRow> rows);
  const std::vector<TMessageRow> &Rows() const { return FRows; }
  const TMessageRow &Row(int row) const { return FRows[static_cast<size_t>(row)]; }
  void SetStatus(int row, const std::string &status);
  // Removes the rows (given in any order); the last one leaves an empty row behind.
  void RemoveRows(std::vector<int> rows);
  void SetFromTitle(const QString &title);

  int rowCount(const QModelIndex &parent = QModelIndex()) const override;
  int columnCount(const QModelIndex &parent = QModelIndex()) const override;
  QVariant data(const QModelIndex &index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
  const QIcon &MarkIcon() const;

  mutable QIcon FMark;
  std::vector<TMessageRow> FRows{TMessageRow{}};
  QString FFromTitle = "From";
};
