// Typed wrappers of the configuration records (IRids) and one record (IRid).
#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

#include "dispatch_object.h"

namespace kestview {

class Rid : public DispatchObject {
public:
    Rid() = default;
    explicit Rid(ComPtr<IDispatch> disp) : DispatchObject(std::move(disp), QStringLiteral("IRid")) {}

    qint32 type() const;
    QString id() const;   // four hexadecimal digits
    QString key() const;
    qint32 no() const;    // the record number
    qint32 length() const;
    QString name() const;
    void setName(const QString& name) const;
    QByteArray ridAsByteArray() const;
    // False when the component did not write the record (wrong size, refused by the adapter).
    bool setRidAsByteArray(const QByteArray& bytes) const;
    QString ridStringValue() const;
    bool setRidStringValue(const QString& text) const;
    std::vector<qint32> ridAsIntArray() const;
    void setRidAsIntArray(const std::vector<qint32>& words) const;
    // Data word `index` (1 = the first); 0 when the record has no such word.
    qint32 getAsInteger(qint32 index) const;
    // Writes data word `index`; false when the component did not write it.
    bool setAsInteger(qint32 index, qint32 value) const;
    bool setId(const QString& id) const;
    bool setKey(const QString& key) const;
    bool setNo(qint32 no) const;
    bool setLength(qint32 length) const;
};

class Rids : public DispatchObject {
public:
    Rids() = default;
    explicit Rids(ComPtr<IDispatch> disp) : DispatchObject(std::move(disp), QStringLiteral("IRids")) {}

    qint32 count() const;
    // By identifier text ("fdc1", any letter case).
    Rid item(const QString& id) const;
    // By position 1..count (ascending identifiers).
    Rid item(qint32 position) const;
    std::vector<Rid> all() const;  // descending identifiers, as the collection enumerates them
};

}  // namespace kestview
