// The played list: a list view over a model that keeps nothing but the lines.
#include "clipplayer/PlayedList.h"

#include <QAbstractListModel>
#include <string>
#include <vector>

namespace brisko::clip {

class PlayedList::Lines final : public QAbstractListModel {
public:
    explicit Lines(QObject* parent) : QAbstractListModel(parent) {}

    int rowCount(const QModelIndex& parent = QModelIndex()) const override {
        return parent.isValid() ? 0 : static_cast<int>(ends_.size());
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || index.row() >= rowCount()) return {};
        if (role == Qt::DisplayRole || role == Qt::ToolTipRole) return line(index.row());
        return {};
    }
    void append(const QString& line) {
        const int row = rowCount();
        beginInsertRows(QModelIndex(), row, row);
        text_ += line.toStdU16String();
        ends_.push_back(text_.size());
        endInsertRows();
    }
    QString line(int row) const {
        if (row < 0 || row >= rowCount()) return {};
        const size_t from = row == 0 ? 0 : ends_[size_t(row) - 1];
        return QString::fromStdU16String(text_.substr(from, ends_[size_t(row)] - from));
    }
    void clear() {
        beginResetModel();
        text_.clear();
        text_.shrink_to_fit();
        ends_.clear();
        ends_.shrink_to_fit();
        endResetModel();
    }

private:
    // All lines one after another, and where each ends: a few bytes a line beyond its text.
    std::u16string text_;
    std::vector<size_t> ends_;
};

PlayedList::PlayedList(QWidget* parent) : QListView(parent), lines_(new Lines(this)) {
    setModel(lines_);
    setUniformItemSizes(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
}

void PlayedList::addItem(const QString& line) { lines_->append(line); }

int PlayedList::count() const { return lines_->rowCount(); }

QString PlayedList::text(int row) const { return lines_->line(row); }

void PlayedList::clear() { lines_->clear(); }

}  // namespace brisko::clip
