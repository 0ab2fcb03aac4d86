// The property bag's default-omitting rule and its two stores: Qt's settings and a form's entries.
#include "PropertyBag.h"

#include <QFont>
#include <QSettings>

namespace lumabar {
namespace {

// Floats stored as text or double come back as the float the control holds, so a value written
// and read again compares equal to the default it was omitted against.
bool sameValue(const QVariant& a, const QVariant& b) {
    if (a.typeId() == QMetaType::Float || b.typeId() == QMetaType::Float)
        return a.toFloat() == b.toFloat();
    return a == b;
}

}  // namespace

PropertyBag::~PropertyBag() = default;

QVariant PropertyBag::readProperty(const QString& name, const QVariant& defaultValue) const {
    QVariant stored = storedValue(name);
    if (!stored.isValid()) return defaultValue;
    if (stored.metaType() == defaultValue.metaType()) return stored;
    if (defaultValue.typeId() == QMetaType::QFont && stored.typeId() == QMetaType::QString) {
        QFont font;
        return font.fromString(stored.toString()) ? QVariant(font) : defaultValue;
    }
    // Text from a settings file: the number or text it holds, or the default when it holds none.
    if (!stored.convert(defaultValue.metaType())) return defaultValue;
    return stored;
}

void PropertyBag::writeProperty(const QString& name, const QVariant& value,
                                const QVariant& defaultValue) {
    if (sameValue(value, defaultValue)) {
        removeValue(name);
    } else {
        storeValue(name, value);
    }
}

SettingsPropertyBag::SettingsPropertyBag(QSettings& settings, QString group)
    : settings_(settings), group_(std::move(group)) {}

QString SettingsPropertyBag::key(const QString& name) const {
    return group_.isEmpty() ? name : group_ + QLatin1Char('/') + name;
}

QVariant SettingsPropertyBag::storedValue(const QString& name) const {
    return settings_.value(key(name));
}

void SettingsPropertyBag::storeValue(const QString& name, const QVariant& value) {
    // A font as its readable description rather than a binary blob.
    if (value.typeId() == QMetaType::QFont) {
        settings_.setValue(key(name), value.value<QFont>().toString());
    } else {
        settings_.setValue(key(name), value);
    }
}

void SettingsPropertyBag::removeValue(const QString& name) {
    settings_.remove(key(name));
}

QStringList FormPropertyBag::names() const {
    QStringList result;
    for (const auto& entry : entries_) result << entry.first;
    return result;
}

QVariant FormPropertyBag::storedValue(const QString& name) const {
    for (const auto& entry : entries_)
        if (entry.first == name) return entry.second;
    return {};
}

void FormPropertyBag::storeValue(const QString& name, const QVariant& value) {
    for (auto& entry : entries_) {
        if (entry.first == name) {
            entry.second = value;
            return;
        }
    }
    entries_.append({name, value});
}

void FormPropertyBag::removeValue(const QString& name) {
    entries_.removeIf([&](const auto& entry) { return entry.first == name; });
}

}  // namespace lumabar
