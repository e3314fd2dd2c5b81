#pragma once

#include "DeviceFrameCodec.h"

#include <QMap>
#include <QUuid>
#include <QVector>

// The request conversation of one import run: what each complete answer
// means and which request follows it (type, serial number, patient list,
// then per patient UUID, NIBP, SpO2 and temperature records), with the run's
// state (serial number, id queue, current patient). Which package belongs to
// the run, and whether an answer is complete, the controller decides; what
// the conversation asks for and hands over goes through its Peer.
class ImportConversation
{
public:
    class Peer
    {
    public:
        virtual void SendRequest(unsigned short cmd, int iPatientID) = 0;
        // A database work item; wParam/lParam carry objects made with new,
        // owned by the receiver from here on.
        virtual void HandOverWork(uint iWorkType, quintptr wParam, quintptr lParam) = 0;
        // A patient without temperature records is finished; puuid is owned by the receiver.
        virtual void PatientFinished(QUuid *puuid) = 0;
        // The last answer of the run has been handled.
        virtual void ConversationFinished() = 0;

    protected:
        ~Peer() = default;
    };

    explicit ImportConversation(Peer &peer) : m_peer(peer) {}

    void Reset();
    // Hands one package of an answer to the run to its handler; bComplete:
    // the answer is complete with it (only then does the next request go out).
    void HandleAnswer(unsigned short cmd, unsigned char pkgNo, bool bComplete,
                      const unsigned char *data, unsigned length);

    QString GetDeviceSN() const;
    QVector<int> GetPatientIdQueue() const { return m_patientIdQueue; }
    int GetCurrentPatientID() const { return m_iCurrentPatientID; }
    QUuid GetCurrentPatientUuid() const { return m_uuidCurrentPatient; }
    // Every entry of the monitor's list, its own first, and which of them is asked for.
    int PatientCount() const { return m_iPatientCount; }
    int PatientNumber() const { return m_iPatientNumber; }

private:
    void ParseDeviceTypePkg(const unsigned char *data, unsigned length);
    void ParseDeviceSNPkg(const unsigned char *data, unsigned length);
    void ParsePatientIDListPkg(unsigned char pkgNo, bool bComplete, const unsigned char *data,
                               unsigned length);
    void ParseUuidDataPkg(bool bComplete, const unsigned char *data, unsigned length);
    // A kind of record answer: its work item, handler name, decoder and the
    // request that follows it (0: the patient's last kind).
    struct RecordAnswer
    {
        unsigned short cmd;
        uint iWorkType;
        const char *handler;
        void *(*decode)(const unsigned char *data, unsigned length, unsigned *pSkipped);
        unsigned short nextCmd;
    };
    static const RecordAnswer RECORD_ANSWERS[3];

    // The NIBP, SpO2 and temperature answers (ParseNIBPDataPkg, ParseSPO2DataPkg,
    // ParseTEMPDataPkg in the log).
    void ParseRecordsPkg(const RecordAnswer &kind, bool bComplete, const unsigned char *data,
                         unsigned length);
    void RequestNextPatientOrFinish();

    Peer &m_peer;
    DeviceFrameCodec::DeviceSerialNumber m_deviceSN{};
    QVector<int> m_patientIdQueue;
    int m_iCurrentPatientID = 0;
    QUuid m_uuidCurrentPatient;
    // The ids of the list answer by package number, joined once it is complete.
    QMap<int, QVector<int>> m_listPackages;
    int m_iPatientCount = 0;
    int m_iPatientNumber = 0;
};
