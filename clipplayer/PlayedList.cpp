// The played list: a list view over a model that keeps nothing but the lines.
#include "clipplayer/PlayedList.h"

#include <QAbstractListModel>
#include <vector>

namespace brisko::clip {

class PlayedList::Lines final : public QAbstractListModel {
public:
    explicit Lines(QObject* parent) : QAbstractListModel(parent) {}

    int rowCount(const QModelIndex& parent = QModelIndex()) const override {
        return parent.isValid() ? 0 : static_cast<int>(lines_.size());
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || index.row() >= rowCount()) return {};
        if (role == Qt::DisplayRole || role == Qt::ToolTipRole) return lines_[size_t(index.row())];
        return {};
    }
    void append(const QString& line) {
        const int row = rowCount();
        beginInsertRows(QModelIndex(), row, row);
        lines_.push_back(line);
        endInsertRows();
    }
    QString line(int row) const { return row >= 0 && row < rowCount() ? lines_[size_t(row)] : QString(); }
    void clear() {
        beginResetModel();
        lines_.clear();
        lines_.shrink_to_fit();
        endResetModel();
    }

private:
    std::vector<QString> lines_;
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
