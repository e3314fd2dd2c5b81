#pragma once

#include <QString>

// The program's few user settings, kept in "Setttings.conf" beside the program
// (or, where the program's folder is not writable or is a system folder, in
// the per-user configuration folder). One process-wide instance, used on the GUI thread.
class MSettings
{
public:
    static MSettings *GetInstance();

    // Reads the file, writing one with the defaults first when none exists.
    // False when the file cannot be read; the fields then keep their values.
    bool LoadSettings();
    // Writes all fields. A failed write leaves the old file as it was.
    bool SaveSettings();

    bool IsOutLog() const { return m_bOutLog; }
    // An empty database path in the file means the default folder.
    QString GetDatabaseFilePath() const;
    QString GetExportFilePath() const { return m_strExportFilePath; }
    bool IsPatientKeyDeviceSN() const { return m_bPatientKeyDeviceSN; }
    bool IsPatientKeyPatientID() const { return m_bPatientKeyPatientID; }
    bool IsPatientKeyPatientName() const { return m_bPatientKeyPatientName; }
    bool IsPatientKeyIdentifyCode() const { return m_bPatientKeyIdentifyCode; }
    bool IsPatientKeySocietyCode() const { return m_bPatientKeySocietyCode; }

    void SetExportFilePath(const QString &path) { m_strExportFilePath = path; }
    void SetPatientKeyDeviceSN(bool on) { m_bPatientKeyDeviceSN = on; }
    void SetPatientKeyPatientID(bool on) { m_bPatientKeyPatientID = on; }
    void SetPatientKeyPatientName(bool on) { m_bPatientKeyPatientName = on; }
    void SetPatientKeyIdentifyCode(bool on) { m_bPatientKeyIdentifyCode = on; }
    void SetPatientKeySocietyCode(bool on) { m_bPatientKeySocietyCode = on; }

    // The merge key bits of the five patient keys, as the merge search wants them.
    uint GetMergeKeyBits() const;

    // The folders a first start writes into the file.
    static QString DefaultDatabaseFilePath();
    static QString DefaultExportFilePath();

    // The folder that holds the settings file and the log.
    static QString GetConfigDirectory();
    // That folder for a program in programDirectory: the program's own folder
    // where it is writable and no system folder, else the per-user one.
    static QString ConfigDirectoryFor(const QString &programDirectory);
    // Points the settings file and the log at another folder (tests use a
    // temporary one); an empty path goes back to the usual choice.
    static void SetConfigDirectory(const QString &directory);
    static QString GetFilePath();

    // Puts every field back to its construction value.
    void ResetToConstructionValues();

private:
    MSettings() = default;
    void SetDefaults();
    void ApplyLine(const QString &line);
    static bool ReadFlag(const QString &value);

    bool m_bOutLog = false;
    QString m_strDatabaseFilePath;
    QString m_strExportFilePath;
    bool m_bPatientKeyDeviceSN = false;
    bool m_bPatientKeyPatientID = false;
    bool m_bPatientKeyPatientName = false;
    bool m_bPatientKeyIdentifyCode = false;
    bool m_bPatientKeySocietyCode = false;
};
