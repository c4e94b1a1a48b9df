// Typed wrappers of the production data area (IPDA), one production data record (IPDR) and the
// firmware image loader (IFirmware), with the connection that delivers FlashProgress events.
#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "dispatch_object.h"

namespace kestview {

class PDR : public DispatchObject {
public:
    PDR() = default;
    explicit PDR(ComPtr<IDispatch> disp) : DispatchObject(std::move(disp), QStringLiteral("IPDR")) {}

    qint32 code() const;
    QString key() const;
    qint32 length() const;
    QString description() const;
    void setDescription(const QString& text) const;
    // The raw record as words: length word, code word, data words.
    std::vector<qint32> pdr() const;
    void setPdr(const std::vector<qint32>& words) const;
    void setArrayOfUnsignedChar(const QByteArray& bytes) const;
    bool setCode(qint32 code) const;
    bool setKey(const QString& key) const;
};

class PDA : public DispatchObject {
public:
    PDA() = default;
    explicit PDA(ComPtr<IDispatch> disp) : DispatchObject(std::move(disp), QStringLiteral("IPDA")) {}

    qint32 count() const;
    PDR item(const QString& key) const;
    PDR item(qint32 position) const;
    std::vector<PDR> all() const;
    // The operations answer their outcome (bResults): true done, false not done.
    bool clear() const;
    bool addPDR(qint32 code) const;
    qint32 removePDR(const QString& key) const;  // how many records were removed
    bool retrieve() const;
    bool commit() const;
    bool loadPDAFile(const QString& fileName) const;
};

class Firmware : public DispatchObject {
public:
    Firmware() = default;
    explicit Firmware(ComPtr<IDispatch> disp) : DispatchObject(std::move(disp), QStringLiteral("IFirmware")) {}

    bool loadHEXFile(const QString& fileName) const;
    bool flashImage() const;
    bool plugImage() const;
    bool makeCalPdrs() const;
    qint32 totalImageBlocks() const;
    qint32 hexLinesRead() const;
    qint32 hexRecordsPlugged() const;
    qint32 hexPlugs() const;
    std::vector<qint32> versionInfo() const;
    std::vector<qint32> platformInfo() const;
    std::vector<qint32> compatibilityInfo() const;
};

// A connection of a handler to a Firmware object's FlashProgress event (one call per downloaded
// block). Advised on construction, unadvised when destroyed.
class FlashProgressConnection {
public:
    using Handler = std::function<void(qint32 blockCount, qint32 blockLength, qint32 blockAddress)>;
    // Throws AutomationError when the object offers no such event.
    FlashProgressConnection(const Firmware& firmware, Handler handler);
    ~FlashProgressConnection();
    FlashProgressConnection(const FlashProgressConnection&) = delete;
    FlashProgressConnection& operator=(const FlashProgressConnection&) = delete;

private:
    ComPtr<IUnknown> point_;  // the IConnectionPoint
    DWORD cookie_ = 0;
};

}  // namespace kestview
