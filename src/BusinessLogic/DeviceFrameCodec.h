#pragma once

#include "DatabaseRecords.h"

#include <QByteArray>
#include <QString>
#include <QUuid>
#include <QVector>

#include <array>

// The monitor's frame format: sizes, start bytes and command codes, the CRC,
// the request frames, the decoding of answer payloads into serial number,
// patient ids, UUID and record chains, and the hex form of a frame for the
// log. Plain functions; nothing here sends, logs or keeps state.
class DeviceFrameCodec
{
public:
    static constexpr unsigned FRAME_HEADER_SIZE = 8;
    static constexpr unsigned FRAME_CRC_SIZE = 4;
    static constexpr unsigned MAX_ANSWER_PAYLOAD = 4096;
    static constexpr unsigned PATIENT_SELECTOR_SIZE = 17;

    static constexpr unsigned char REQUEST_START_BYTE = 0xAA;
    static constexpr unsigned char ANSWER_START_BYTE = 0xBB;
    static constexpr unsigned char PROTOCOL_BYTE = 0x19;

    // Command codes: each request's, the same in its answer, and the two error answers.
    enum Command : unsigned short
    {
        CMD_DEVICE_TYPE = 0x0200,
        CMD_DEVICE_SN = 0x0202,
        CMD_PATIENT_ID_LIST = 0x0210,
        CMD_PATIENT_UUID = 0x0211,
        CMD_NIBP_DATA = 0x020D,
        CMD_SPO2_DATA = 0x020E,
        CMD_TEMP_DATA = 0x020F,
        CMD_UNKNOWN_ERROR = 0x0F00,
        CMD_CRC_ERROR = 0x0F01,
    };

    static constexpr unsigned NIBP_RECORD_SIZE = 16;
    static constexpr unsigned SPO2_RECORD_SIZE = 12;
    static constexpr unsigned TEMP_RECORD_SIZE = 10;
    static constexpr unsigned DEVICE_TYPE_MAX_LENGTH = 15;

    // The serial number is kept as the patient record holds it, with room for
    // a terminating zero behind the text.
    static constexpr int DEVICE_SN_LENGTH =
        int(sizeof(STU_DB_PATIENT_LIST::DeviceSN) / sizeof(STU_DB_PATIENT_LIST::DeviceSN[0]));
    static constexpr unsigned DEVICE_SN_MAX_LENGTH = DEVICE_SN_LENGTH - 1;
    using DeviceSerialNumber = std::array<char16_t, DEVICE_SN_LENGTH>;

    // The monitor's own entry goes out as the id whose bits are all set.
    static constexpr int MONITOR_PATIENT_ID = static_cast<int>(MONITOR_PSEUDO_PATIENT_ID);
    static constexpr int MAX_DEVICE_PATIENT_ID = 99;

    static quint16 ReadU16(const unsigned char *p) { return quint16((p[0] << 8) | p[1]); }
    static quint32 ReadU32(const unsigned char *p)
    {
        return (quint32(p[0]) << 24) | (quint32(p[1]) << 16) | (quint32(p[2]) << 8) | quint32(p[3]);
    }

    static unsigned CalculateCRCValue(const unsigned char *data, unsigned length);
    // The request frame for a command, with the patient selector when
    // withSelector is set (L = 17), else without payload (L = 0).
    static QByteArray BuildRequestFrame(unsigned short cmd, bool withSelector, int iPatientID);
    // The requests that carry a patient selector.
    static bool IsVitalDataCommand(unsigned short cmd);
    // The answers that belong to a request (not the error packages).
    static bool IsAnswerCommand(unsigned short cmd);

    // The bytes as "%02X " each (two upper-case digits and a blank), for the log.
    static QByteArray HexDump(const unsigned char *data, unsigned length);

    static QString DecodeDeviceType(const unsigned char *data, unsigned length);
    static DeviceSerialNumber DecodeDeviceSN(const unsigned char *data, unsigned length);
    // The ids of one list package: byte 0 is not an id; ids above 99 are no patients.
    static QVector<int> DecodePatientIds(const unsigned char *data, unsigned length);
    // Null when the payload is too short to hold a whole UUID.
    static QUuid DecodePatientUuid(const unsigned char *data, unsigned length);
    static bool IsWholeUuid(unsigned length);

    // The whole records of a payload, in payload order, as a new chain (null
    // when none is left); a remainder shorter than one record is ignored, and so
    // is a record with an impossible time stamp, counted in *pSkipped.
    static STU_DB_NIBP_DATA_LIST *DecodeNIBPChain(const unsigned char *data, unsigned length,
                                                  unsigned *pSkipped);
    static STU_DB_SPO2_DATA_LIST *DecodeSPO2Chain(const unsigned char *data, unsigned length,
                                                  unsigned *pSkipped);
    static STU_DB_TEMP_DATA_LIST *DecodeTEMPChain(const unsigned char *data, unsigned length,
                                                  unsigned *pSkipped);
};
