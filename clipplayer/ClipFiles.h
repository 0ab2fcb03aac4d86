// The Clip Player's files: the per-user clip list (528 "|" lines), the page names, the users file
// and the user-name rule. Pure formats and whole-file writes; the windows call these. Names and
// texts are carried as bytes (ui/NameBytes.h): whatever a file holds is written back unchanged.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <array>

namespace brisko::clip {

inline constexpr int kStoredPages = 11;   // pages 0..10 are loaded and saved; 1..10 are shown
inline constexpr int kButtons = 48;       // buttons 0..47 of a page
inline constexpr int kClipLines = kStoredPages * kButtons;  // 528
inline constexpr int kPageNames = 10;     // tab captions of pages 1..10

// Colour codes: blue * 65536 + green * 256 + red; a negative value names a system colour.
inline constexpr double kWhite = 16777215;
inline constexpr double kBlack = 0;
inline constexpr double kRed = 255;
inline constexpr double kGreen = 65280;
inline constexpr double kBlue = 16711680;
inline constexpr double kButtonFace = -2147483633;  // 0x8000000F

struct ClipSlot {
    QString Directory;   // the clip's folder, ending in "/" once loaded; empty = empty slot
    QString FileName;    // name with its four-character extension
    double BackColour = 0;
    double TextColour = 0;
    double StatusColour = 0;  // the light a resumed clip takes back; never stored

    bool empty() const { return Directory.isEmpty(); }
    // Directory, a "/" when it does not end in one, then FileName.
    QString fullName() const;
};

// Every slot, addressed by page 0..11 and button 0..48 (only 0..10 and 0..47 are filled or
// stored; the spare row and column make an off-by-one harmless).
class ClipTable {
public:
    ClipSlot& slot(int page, int button);
    const ClipSlot& slot(int page, int button) const;
    void clear();

private:
    std::array<std::array<ClipSlot, kButtons + 1>, kStoredPages + 1> slots_{};
    ClipSlot spare_;
};

// What a load found, for telling the operator.
struct ClipListRead {
    bool opened = false;
    int lines = 0;       // lines present (at most 528 are used)
    int badLines = 0;    // of the first 528, lines of 14 characters or more without five "|"
    int extraLines = 0;  // non-empty lines after the 528th
    // The bytes are not a clip list (damaged, or some other file): saving over them would lose
    // whatever they hold.
    bool damaged() const { return badLines > 0 || extraLines > 0; }
};

// Fills TABLE from the bytes of a clip list. A line shorter than 14 characters is an empty slot
// (white, its text colour kept); a longer one is split at its first five "|". Missing lines
// (a short file) leave their slots empty. A line that is no clip line still fills its slot as
// far as it goes, and is counted.
ClipListRead parseClipList(const QByteArray& bytes, ClipTable& table);
// The 528 lines of TABLE, CR LF ended.
QByteArray formatClipList(const ClipTable& table);
// One line of a slot: "p|b| | |0|0" for an empty one, else the six fields.
QString clipLine(int page, int button, const ClipSlot& slot);
// A colour code as the shortest plain decimal text ("16777215", "-2147483633").
QString colourText(double code);

// The lines of a text file whose lines end in CR LF, LF or CR alike (a final line end does not
// start a new line). Bytes that are not UTF-8 are carried (ui::nameFromBytes).
QStringList textLines(const QByteArray& bytes);
// LINES joined, each ended by CR LF; carried bytes are written back as they were.
QByteArray crlfText(const QStringList& lines);

// The ten page names of a page-names file; a short file leaves the rest empty.
std::array<QString, kPageNames> parsePageNames(const QByteArray& bytes);

// A page name as a tab or a played-list line shows it: carried bytes as U+FFFD, and a name
// longer than kShownPageName characters cut there with "…" (a tab shows far less; a huge name
// would cost every redraw and every screen-reader update). The file keeps the whole name.
inline constexpr int kShownPageName = 100;
QString shownPageName(const QString& name);

// The bytes of the shipped templates: a clip list with every slot empty, ten empty page names.
QByteArray blankClipList();
QByteArray blankPageNames();

// Whether NAME can be the base name of a user's files: not empty, not "." or "..", no "/", "\"
// or control character, short enough for a file name, and not a name whose ".dat" or ".nst"
// would be one of the program's own files (ClipUsers.dat, the templates), in any case.
// Otherwise *WHY (when given) says what is wrong, for the operator.
bool isSafeUserName(const QString& name, QString* why = nullptr);

// The program's own files in its folder, which no user's files may replace.
const QStringList& programFileNames();

// Paths below are carried names (ui/NameBytes.h), opened by their exact bytes.
// Writes BYTES to PATH whole or not at all (the console's temporary-file-and-rename write). On
// failure returns false with a text for the operator.
bool writeWhole(const QString& path, const QByteArray& bytes, QString* error = nullptr);
// Reads PATH whole; false when it cannot be opened or read.
bool readWhole(const QString& path, QByteArray* bytes);
// Appends BYTES to PATH (created when missing) as one piece: a write the disk cannot take whole
// is taken back, so the file never ends in half a line. False with a reason on failure.
bool appendWhole(const QString& path, const QByteArray& bytes, QString* error = nullptr);
bool fileExists(const QString& path);
bool removeFile(const QString& path);

}  // namespace brisko::clip
