// Feeds arbitrary bytes to the import controller as if the monitor had sent
// them during a run: through the front object's read buffer into
// OnReadFinished, frame scanning, answer matching and every answer handler.
//
// Input: byte 0 chooses the chunk size in which the rest arrives, whether
// frame CRCs are made valid first (so the handlers are reached, not only the
// scanner) and whether log messages are formatted (the log has no file here,
// so nothing is written).

#include "ComDeviceCommunication.h"
#include "CommunicationProcessControl.h"
#include "DatabaseRecords.h"
#include "DeviceFrameCodec.h"
#include "MLog.h"

#include <QCoreApplication>

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

void FreeWorkItem(uint type, quintptr wParam, quintptr lParam)
{
    switch (type) {
    case DB_WORK_INSERT_NEW_PATIENT:
        delete reinterpret_cast<STU_DB_PATIENT_LIST *>(wParam);
        return;
    case DB_WORK_INSERT_NIBP_DATA:
        FreeRecordChain(reinterpret_cast<STU_DB_NIBP_DATA_LIST *>(lParam));
        break;
    case DB_WORK_INSERT_SPO2_DATA:
        FreeRecordChain(reinterpret_cast<STU_DB_SPO2_DATA_LIST *>(lParam));
        break;
    case DB_WORK_INSERT_TEMP_DATA:
        FreeRecordChain(reinterpret_cast<STU_DB_TEMP_DATA_LIST *>(lParam));
        break;
    default:
        __builtin_trap(); // the controller sends no other work
    }
    delete reinterpret_cast<QUuid *>(wParam);
}

CommunicationProcessControl &Control()
{
    static int argc = 1;
    static char name[] = "fuzz_ImportParsing";
    static char *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    static CommunicationProcessControl *control = [] {
        auto *c = new CommunicationProcessControl();
        c->CreateCommunication();
        // Starts the worker with no port, so request copies are freed there.
        c->GetCommunication()->OpenDevice(-1);
        QObject::connect(c, &CommunicationProcessControl::NewDatabaseTask, &FreeWorkItem);
        QObject::connect(c, &CommunicationProcessControl::OnImportOnePatientDataFinished,
                         [](QUuid *uuid) { delete uuid; });
        return c;
    }();
    return *control;
}

// Gives every complete frame that starts at a 0xBB 0x19 header a correct CRC.
void FixFrameCrcs(std::vector<unsigned char> &bytes)
{
    const size_t n = bytes.size();
    for (size_t p = 0; p + 12 <= n; ++p) {
        if (bytes[p] != 0xBB || bytes[p + 1] != 0x19)
            continue;
        const size_t length = (size_t(bytes[p + 6]) << 8) | bytes[p + 7];
        if (length > 4096 || p + length + 12 > n)
            continue;
        const unsigned crc = DeviceFrameCodec::CalculateCRCValue(&bytes[p], unsigned(length + 8));
        for (int i = 0; i < 4; ++i)
            bytes[p + 8 + length + size_t(i)] = static_cast<unsigned char>(crc >> (24 - 8 * i));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    CommunicationProcessControl &control = Control();
    ComDeviceCommunication *front = control.GetCommunication();
    // A new run each time: it asks for the device type and empties the read buffer, so
    // bytes that answer the run's requests in order reach every handler.
    control.StartImportData();

    const unsigned mode = data[0];
    MLog::SetOutLog((mode & 0x40) != 0);
    std::vector<unsigned char> bytes(data + 1, data + size);
    if (mode & 1)
        FixFrameCrcs(bytes);
    static const size_t chunkSizes[] = {1, 7, 64, 4108, 6000, 20000};
    const size_t chunk = chunkSizes[(mode >> 1) % (sizeof chunkSizes / sizeof chunkSizes[0])];
    for (size_t offset = 0; offset < bytes.size(); offset += chunk) {
        const size_t len = std::min(chunk, bytes.size() - offset);
        auto *copy = new char[len];
        std::memcpy(copy, bytes.data() + offset, len);
        front->ReadFinishedSlot(copy, static_cast<int>(len), true);
    }
    return 0;
}
