#include "ui/MessageGridModel.h"

#include "storage/Ansi.h"
#include "ui/ReceivedText.h"

#include <QColor>
#include <QIcon>
#include <algorithm>

void TMessageGridModel::SetRows(std::vector<TMessageRow> rows) {
  beginResetModel();
  FRows = std::move(rows);
  if (FRows.empty()) FRows.emplace_back();
  endResetModel();
}

void TMessageGridModel::SetStatus(int row, const std::string &status) {
  FRows[static_cast<size_t>(row)].Status = status;
  emit dataChanged(index(row, 0), index(row, colCount - 1));
}

void TMessageGridModel::RemoveRows(std::vector<int> rows) {
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  // Remove contiguous runs from the bottom up, so that earlier indexes stay valid.
  for (size_t end = rows.size(); end > 0;) {
    size_t begin = end - 1;
    while (begin > 0 && rows[begin - 1] == rows[begin] - 1) --begin;
    const int first = rows[begin], last = rows[end - 1];
    beginRemoveRows(QModelIndex(), first, last);
    FRows.erase(FRows.begin() + first, FRows.begin() + last + 1);
    endRemoveRows();
    end = begin;
  }
  if (FRows.empty()) {
    beginInsertRows(QModelIndex(), 0, 0);
    FRows.emplace_back();
    endInsertRows();
  }
}

void TMessageGridModel::SetFromTitle(const QString &title) {
  FFromTitle = title;
  emit headerDataChanged(Qt::Horizontal, colFrom, colFrom);
}

const QIcon &TMessageGridModel::MarkIcon() const {
  if (FMark.isNull()) FMark = AttachmentMarkIcon();
  return FMark;
}

int TMessageGridModel::rowCount(const QModelIndex &parent) const {
  return parent.isValid() ? 0 : static_cast<int>(FRows.size());
}

int TMessageGridModel::columnCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : colCount; }

QVariant TMessageGridModel::data(const QModelIndex &index, int role) const {
  if (!index.isValid()) return {};
  const TMessageRow &r = Row(index.row());
  if (role == Qt::BackgroundRole) {
    // Unread messages stand out on silver.
    if (r.Status != "Viewed" && !r.Date.empty()) return QColor(0xC0, 0xC0, 0xC0);
    return {};
  }
  if (role == Qt::DecorationRole && index.column() == colMark && r.Attachment) return MarkIcon();
  if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
  switch (index.column()) {
    case colFrom: return HeaderToQString(r.From);
    case colSubject: return HeaderToQString(r.Subject);
    case colDate: return AnsiToQString(r.Date);
    case colStatus: return AnsiToQString(r.Status);
    case colPath: return AnsiToQString(r.Path);
    case colName: return AnsiToQString(r.Name);
    case colMsgNum: return r.Name.empty() ? QVariant() : QVariant(QString::number(r.MsgNum));
    default: return {};
  }
}

QVariant TMessageGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal) return {};
  if (role == Qt::DecorationRole && section == colMark) return MarkIcon();
  if (role != Qt::DisplayRole) return {};
  static const char *const kTitles[] = {"", "From", "Subject", "Date", "Status", "Path", "Name", "MsgNum"};
  if (section == colFrom) return FFromTitle;
  return section >= 0 && section < colCount ? QString(kTitles[section]) : QString();
}
