// The Set Index dialog.
#include "console/frmSetIndex.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>
#include <cstdint>
#include <limits>

double leadingNumber(const QString& text) {
    // Blanks (spaces, tabs, line feeds) may stand anywhere before and inside the number.
    QString s;
    for (QChar c : text)
        if (c != QLatin1Char(' ') && c != QLatin1Char('\t') && c != QLatin1Char('\n') &&
            c != QLatin1Char('\r'))
            s += c;
    int pos = 0;
    QString number;
    if (pos < s.size() && (s[pos] == QLatin1Char('-') || s[pos] == QLatin1Char('+')))
        number += s[pos++];
    bool digits = false;
    while (pos < s.size() && s[pos].isDigit() && s[pos].unicode() < 128) {
        number += s[pos++];
        digits = true;
    }
    if (pos < s.size() && s[pos] == QLatin1Char('.')) {
        number += s[pos++];
        while (pos < s.size() && s[pos].isDigit() && s[pos].unicode() < 128) {
            number += s[pos++];
            digits = true;
        }
    }
    if (!digits) return 0.0;
    // An exponent counts only when digits follow it.
    if (pos < s.size() && (s[pos] == QLatin1Char('e') || s[pos] == QLatin1Char('E'))) {
        QString exponent = QStringLiteral("e");
        int p = pos + 1;
        if (p < s.size() && (s[p] == QLatin1Char('-') || s[p] == QLatin1Char('+')))
            exponent += s[p++];
        bool expDigits = false;
        while (p < s.size() && s[p].isDigit() && s[p].unicode() < 128) {
            exponent += s[p++];
            expDigits = true;
        }
        if (expDigits) number += exponent;
    }
    bool ok = false;
    const double value = number.toDouble(&ok);
    return ok && std::isfinite(value) ? value : 0.0;
}

frmSetIndex::frmSetIndex(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Set Index"));
    Label1 = new QLabel(QStringLiteral("Set Index to what slot"), this);
    Label2 = new QLabel(QStringLiteral("Set this number to the deck number you want to start the "
                                       "next time the SPACE bar is pressed"),
                        this);
    Label2->setWordWrap(true);
    Text1 = new QLineEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Command1 = new QPushButton(QStringLiteral("OK"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setDefault(true);
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(Label2);
    layout->addWidget(Text1);
    layout->addWidget(Command1, 0, Qt::AlignRight);
}

void frmSetIndex::Command1_Click() { accept(); }

std::optional<int> frmSetIndex::chosenIndex() const {
    // The index is a whole number: halves go to the even neighbour.
    const double index = std::nearbyint(leadingNumber(Text1->text()) - 1.0);
    if (index < std::numeric_limits<int16_t>::min() || index > std::numeric_limits<int16_t>::max())
        return std::nullopt;
    return static_cast<int>(index);
}
