// The host's property store: a control writes its persisted properties into a bag and reads them
// back. An entry equal to its default is left out, and reading a missing entry gives the default.
#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QVariant>

#include "LumabarExport.h"

class QSettings;

namespace lumabar {

class LUMABAR_EXPORT PropertyBag {
public:
    virtual ~PropertyBag();

    // The stored value of NAME converted to DEFAULT_VALUE's type; DEFAULT_VALUE when the entry is
    // missing or cannot be read as that type.
    QVariant readProperty(const QString& name, const QVariant& defaultValue) const;
    // Stores VALUE under NAME, or removes the entry when VALUE equals DEFAULT_VALUE.
    void writeProperty(const QString& name, const QVariant& value, const QVariant& defaultValue);

protected:
    virtual QVariant storedValue(const QString& name) const = 0;  // invalid when missing
    virtual void storeValue(const QString& name, const QVariant& value) = 0;
    virtual void removeValue(const QString& name) = 0;
};

// A bag in Qt's settings: one key per entry under GROUP (the control's name in its host).
class LUMABAR_EXPORT SettingsPropertyBag : public PropertyBag {
public:
    SettingsPropertyBag(QSettings& settings, QString group);

protected:
    QVariant storedValue(const QString& name) const override;
    void storeValue(const QString& name, const QVariant& value) override;
    void removeValue(const QString& name) override;

private:
    QString key(const QString& name) const;
    QSettings& settings_;
    QString group_;
};

// A form's stored properties of one control: the entries in the order they were written, as a
// form file keeps them beside the control's size and place.
class LUMABAR_EXPORT FormPropertyBag : public PropertyBag {
public:
    using Entries = QList<QPair<QString, QVariant>>;

    FormPropertyBag() = default;
    explicit FormPropertyBag(Entries entries) : entries_(std::move(entries)) {}

    const Entries& entries() const { return entries_; }
    QStringList names() const;

protected:
    QVariant storedValue(const QString& name) const override;
    void storeValue(const QString& name, const QVariant& value) override;
    void removeValue(const QString& name) override;

private:
    Entries entries_;
};

}  // namespace lumabar
