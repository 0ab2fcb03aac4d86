// The Clip Player's list of what played this session and of missing clip files: one line each,
// never cleared while the window is open. A clip every few seconds through a long show makes
// thousands of lines, so each is one string in a plain model and every row has one height:
// adding the ten-thousandth line costs what the first did, in time and in memory.
#pragma once

#include <QListView>
#include <QString>

namespace brisko::clip {

class PlayedList : public QListView {
public:
    explicit PlayedList(QWidget* parent = nullptr);
    void addItem(const QString& line);
    int count() const;
    QString text(int row) const;  // "" outside the list
    void clear();

private:
    class Lines;
    Lines* lines_;
};

}  // namespace brisko::clip
