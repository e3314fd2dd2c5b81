#pragma once

// The SQL text of the patient database, character for character as existing
// files and other readers of them expect it (the runs of tabs and spaces are
// part of the text).

inline constexpr const char kSqlCreatePatientTable[] =
    "CREATE TABLE IF NOT EXISTS Patient(PatientID UNIQUEIDENTIFIER PRIMARY KEY, \t\t\t\t\t\t  "
    "DeviceSN nvarchar(32), \t\t\t\t\t\t  IdInDevice unsigned integer, \t\t\t\t\t\t  Name "
    "nvarchar(32),\t\t\t\t\t\t  Gender integer DEFAULT 0,\t\t\t\t\t\t  Height float DEFAULT "
    "0,\t\t\t\t\t\t  Weight float DEFAULT 0,\t\t\t\t\t\t  Mobile nvarchar(32),\t\t\t\t\t\t  Doctor "
    "nvarchar(32),\t\t\t\t\t\t  IdentityType integer,\t\t\t\t\t\t  IdentityCode "
    "nvarchar(64),\t\t\t\t\t\t  SocietyCode nvarchar(64),  \t\t\t\t\t\t  PatientType "
    "integer,\t\t\t\t\t\t  Age integer,\t\t\t\t\t\t  Address nvarchar(128),                        "
    "   ReadFlag integer DEFAULT 0,                           LastUpdateTime DATETIME \t\t\t\t\t\t "
    " )";
inline constexpr const char kSqlCreatePatientIndex[] =
    "CREATE INDEX PatientID_Patient ON Patient(PatientID, DeviceSN, IdInDevice)";
inline constexpr const char kSqlCreateNibpTable[] =
    "CREATE TABLE IF NOT EXISTS NIBPData(ID INTEGER PRIMARY KEY AUTOINCREMENT,\t\t\t\t\t\t  "
    "PatientID UNIQUEIDENTIFIER,\t\t\t\t\t\t  MeasureTime DATETIME,\t\t\t\t\t\t  SysValue "
    "INTEGER,\t\t\t\t\t\t  DiaValue INTEGER,\t\t\t\t\t\t  MeanValue INTEGER,\t\t\t\t\t\t  PrValue "
    "INTEGER,\t\t\t\t\t\t  FOREIGN KEY(PatientID) REFERENCES Patient\t\t\t\t\t\t  )";
inline constexpr const char kSqlCreateNibpIndex[] =
    "CREATE INDEX NIBP_NIBPData ON NIBPData(PatientID, ID)";
inline constexpr const char kSqlCreateSpo2Table[] =
    "CREATE TABLE IF NOT EXISTS SPO2Data(ID INTEGER PRIMARY KEY AUTOINCREMENT,\t\t\t\t\t\t  "
    "PatientID UNIQUEIDENTIFIER,\t\t\t\t\t\t  MeasureTime DATETIME,\t\t\t\t\t\t  SPO2Value "
    "INTEGER,\t\t\t\t\t\t  PrValue INTEGER,\t\t\t\t\t\t  FOREIGN KEY(PatientID) REFERENCES "
    "Patient\t\t\t\t\t\t  )";
inline constexpr const char kSqlCreateSpo2Index[] =
    "CREATE INDEX SPO2_SPO2Data ON SPO2Data(PatientID, ID)";
inline constexpr const char kSqlCreateTempTable[] =
    "CREATE TABLE IF NOT EXISTS TEMPData(ID INTEGER PRIMARY KEY AUTOINCREMENT,\t\t\t\t\t\t  "
    "PatientID UNIQUEIDENTIFIER,\t\t\t\t\t\t  MeasureTime DATETIME,\t\t\t\t\t\t  TempValue "
    "float,\t\t\t\t\t\t  FOREIGN KEY(PatientID) REFERENCES Patient\t\t\t\t\t\t  )";
inline constexpr const char kSqlCreateTempIndex[] =
    "CREATE INDEX TEMP_TEMPData ON TEMPData(PatientID, ID)";
inline constexpr const char kSqlSelectPatientById[] = "SELECT * FROM Patient WHERE PatientID = :id";
inline constexpr const char kSqlDeletePatient[] = "DELETE  FROM Patient WHERE PatientID = :id";
inline constexpr const char kSqlDeleteNibpData[] = "DELETE  FROM NIBPData WHERE PatientID = :id";
inline constexpr const char kSqlDeleteSpo2Data[] = "DELETE  FROM SPO2Data WHERE PatientID = :id";
inline constexpr const char kSqlDeleteTempData[] = "DELETE  FROM TEMPData WHERE PatientID = :id";
// Each patient's records of each kind and his newest measure time, kept up
// to date by triggers on every insert and delete of a record (whoever writes
// them), so that the brief records, which show them to tell look-alike
// patients apart, read one row per patient instead of counting his records.
// A table of its own: older files gain it, filled once, and keep the rest.
#define VM_SQL_NEWEST_OF(patient)                                                                  \
    "(SELECT max(m) FROM (SELECT max(MeasureTime) AS m FROM NIBPData WHERE PatientID = " patient   \
    " UNION ALL SELECT max(MeasureTime) FROM SPO2Data WHERE PatientID = " patient                  \
    " UNION ALL SELECT max(MeasureTime) FROM TEMPData WHERE PatientID = " patient ") newest)"
#define VM_SQL_NEWEST_OF_PATIENT VM_SQL_NEWEST_OF("Patient.PatientID")
#define VM_SQL_FILL_TALLY                                                                          \
    "INSERT INTO PatientTally (PatientID, NIBPCount, SPO2Count, TEMPCount, Newest) "               \
    "SELECT PatientID, "                                                                           \
    "(SELECT count(*) FROM NIBPData d WHERE d.PatientID = Patient.PatientID), "                    \
    "(SELECT count(*) FROM SPO2Data d WHERE d.PatientID = Patient.PatientID), "                    \
    "(SELECT count(*) FROM TEMPData d WHERE d.PatientID = "                                        \
    "Patient.PatientID), " VM_SQL_NEWEST_OF_PATIENT " FROM Patient"
// What a brief record adds after the patient's own columns, from the given
// patient table.
#define VM_SQL_RECORD_TALLY(patient)                                                               \
    ", t.NIBPCount, t.SPO2Count, t.TEMPCount, t.Newest FROM " patient                              \
    " LEFT JOIN PatientTally t ON t.PatientID = Patient.PatientID "
#define VM_SQL_ALL_PATIENT_BRIEF(patient, ties)                                                    \
    "Select Patient.PatientID, DeviceSN, IdInDevice, Name, ReadFlag, "                             \
    "LastUpdateTime" VM_SQL_RECORD_TALLY(patient) "ORDER BY LastUpdateTime ASC" ties
// A plain scan of the patients, with a lookup of each one's tally, takes a
// third of the time of visiting them in key order. Equal times keep the
// order of insertion.
inline constexpr const char kSqlSelectAllPatientBrief[] =
    VM_SQL_ALL_PATIENT_BRIEF("Patient NOT INDEXED", ", Patient.rowid ASC");
inline constexpr const char kSqlSelectOnePatientBrief[] =
    "Select Patient.*" VM_SQL_RECORD_TALLY("Patient") "WHERE Patient.PatientID = :PatientID";
inline constexpr const char kSqlSelectPatientDetail[] =
    "Select * FROM Patient WHERE PatientID = :PatientID";
#define VM_SQL_RECORDS_OF(table)                                                                   \
    "Select * FROM " table " WHERE PatientID = :PatientID ORDER BY MeasureTime"
inline constexpr const char kSqlSelectNibpList[] = VM_SQL_RECORDS_OF("NIBPData");
inline constexpr const char kSqlSelectSpo2List[] = VM_SQL_RECORDS_OF("SPO2Data");
inline constexpr const char kSqlSelectTempList[] = VM_SQL_RECORDS_OF("TEMPData");
inline constexpr const char kSqlUpdateLastImportTime[] =
    "UPDATE Patient SET LastUpdateTime = :LastUpdateTime WHERE PatientID = :id";
inline constexpr const char kSqlUpdateReadFlag[] =
    "UPDATE Patient SET ReadFlag = :ReadFlag WHERE PatientID = :id";
// Shared with the server's insert, which adds what it does on a conflict.
#define VM_SQL_INSERT_PATIENT                                                                      \
    "INSERT INTO Patient (PatientID, DeviceSN, IdInDevice, Name, \t\t\t\t\t\t\t Gender, Height, "  \
    "Weight, Mobile, Doctor, IdentityType, \t\t\t\t\t\t\t IdentityCode, SocietyCode, "             \
    "PatientType, "                                                                                \
    "Age, Address, LastUpdateTime) \t\t\t\t\t\t\t VALUES(:PatientID, :DeviceSN, :IdInDevice, "     \
    ":Name, \t\t\t\t\t\t\t :Gender, :Height, :Weight, :Mobile, :Doctor, :IdentityType, "           \
    "\t\t\t\t\t\t\t :IdentityCode, :SocietyCode, :PatientType, :Age, :Address, :LastUpdateTime)"
inline constexpr const char kSqlInsertPatient[] = VM_SQL_INSERT_PATIENT;
inline constexpr const char kSqlUpdatePatient[] =
    "UPDATE Patient SET Name = :Name, \t\t\t\t\t\t\t Gender = :Gender, Height = :Height, Weight = "
    ":Weight, Mobile = :Mobile, \t\t\t\t\t\t\t Doctor = :Doctor, IdentityType = :IdentityType, "
    "IdentityCode = :IdentityCode,\t\t\t\t\t\t\t SocietyCode = :SocietyCode, PatientType = "
    ":PatientType, Age = :Age, Address = :Address\t\t\t\t\t\t\t WHERE PatientID = :PatientID";
// The duplicate checks: a row is at the same time when its text is that
// second's, alone or followed by milliseconds or a zone ("...T19:28:10.000",
// as other writers store it). Such texts run from the second's text up to it
// followed by '~', which sorts after every such ending; as a range the check
// still uses the (PatientID, MeasureTime) index.
#define VM_SQL_RECORD_AT_TIME(table)                                                               \
    "SELECT * FROM " table " WHERE PatientID = :PatientID AND MeasureTime >= :MeasureTime AND "    \
    "MeasureTime < :MeasureTime || '~'"
// The newest time text of a patient's records of one kind, from the same
// index: an import skips the duplicate check of times after it.
#define VM_SQL_NEWEST_RECORD(table)                                                                \
    "SELECT max(MeasureTime) FROM " table " WHERE PatientID = :PatientID"
inline constexpr const char kSqlSelectNibpAtTime[] = VM_SQL_RECORD_AT_TIME("NIBPData");
inline constexpr const char kSqlInsertNibp[] =
    "INSERT INTO NIBPData (PatientID, MeasureTime, SysValue,                                       "
    "     DiaValue, MeanValue, PrValue) VALUES(:PatientID, \t\t\t\t\t\t\t\t\t\t  :MeasureTime, "
    ":SysValue, :DiaValue, :MeanValue, :PrValue)";
inline constexpr const char kSqlSelectSpo2AtTime[] = VM_SQL_RECORD_AT_TIME("SPO2Data");
inline constexpr const char kSqlInsertSpo2[] =
    "INSERT INTO SPO2Data (PatientID, MeasureTime, SPO2Value, \t\t\t\t\t\t\t\t\t\t   PrValue) "
    "VALUES(:PatientID, :MeasureTime, :SPO2Value, :PrValue)";
inline constexpr const char kSqlSelectTempAtTime[] = VM_SQL_RECORD_AT_TIME("TEMPData");
inline constexpr const char kSqlInsertTemp[] =
    "INSERT INTO TEMPData (PatientID, MeasureTime, TempValue) \t\t\t\t\t\t\t\t\t\t   "
    "VALUES(:PatientID, :MeasureTime, :TempValue)";
inline constexpr const char kSqlSelectMergeCandidates[] =
    "Select * FROM Patient WHERE PatientID <> :PatientID ";

// Added beside the (PatientID, ID) indexes so that the duplicate check of an
// import finds a patient's row at a given time without scanning his rows.
#define VM_SQL_TIME_INDEX(kind)                                                                    \
    "CREATE INDEX IF NOT EXISTS " kind "Time_" kind "Data ON " kind "Data(PatientID, MeasureTime)"
inline constexpr const char kSqlCreateNibpTimeIndex[] = VM_SQL_TIME_INDEX("NIBP");
inline constexpr const char kSqlCreateSpo2TimeIndex[] = VM_SQL_TIME_INDEX("SPO2");
inline constexpr const char kSqlCreateTempTimeIndex[] = VM_SQL_TIME_INDEX("TEMP");

// The UUIDs of patients merged into another one, each naming the patient
// that holds his records now, so that a later import of the same monitor
// patient goes to him. A table of its own: older files gain it untouched.
struct AliasStatements
{
    const char *createTable;
    const char *createIndex;
    const char *selectTarget;    // :id
    const char *insert;          // :AliasID, :PatientID
    const char *move;            // to :PatientID from :AliasID
    const char *deleteOfPatient; // :id
};
inline constexpr AliasStatements kSqlAlias = {
    "CREATE TABLE IF NOT EXISTS PatientAlias(AliasID UNIQUEIDENTIFIER PRIMARY KEY, "
    "PatientID UNIQUEIDENTIFIER)",
    "CREATE INDEX PatientID_PatientAlias ON PatientAlias(PatientID)",
    "SELECT PatientID FROM PatientAlias WHERE AliasID = :id",
    "INSERT INTO PatientAlias (AliasID, PatientID) VALUES(:AliasID, :PatientID)",
    "UPDATE PatientAlias SET PatientID = :PatientID WHERE PatientID = :AliasID",
    "DELETE FROM PatientAlias WHERE PatientID = :id"};

// The tally's table and triggers. A patient's row comes with the patient and
// goes with him; records only ever come and go (nothing changes one), and
// a record's removal looks for the newest left only when it was the newest.
#define VM_SQL_TALLY_ADDED(kind)                                                                   \
    "CREATE TRIGGER IF NOT EXISTS Tally_" kind "Data AFTER INSERT ON " kind "Data BEGIN "          \
    "UPDATE PatientTally SET " kind "Count = " kind "Count + 1, Newest = CASE WHEN Newest >= "     \
    "NEW.MeasureTime THEN Newest ELSE NEW.MeasureTime END WHERE PatientID = NEW.PatientID; END"
#define VM_SQL_NEWEST_LEFT VM_SQL_NEWEST_OF("OLD.PatientID")
#define VM_SQL_TALLY_REMOVED(kind)                                                                 \
    "CREATE TRIGGER IF NOT EXISTS TallyGone_" kind "Data AFTER DELETE ON " kind "Data BEGIN "      \
    "UPDATE PatientTally SET " kind "Count = " kind "Count - 1, Newest = CASE WHEN Newest > "      \
    "OLD.MeasureTime THEN Newest ELSE " VM_SQL_NEWEST_LEFT " END WHERE PatientID = "               \
    "OLD.PatientID; END"
inline constexpr const char *const kSqlCreateTally[] = {
    "CREATE TABLE IF NOT EXISTS PatientTally(PatientID UNIQUEIDENTIFIER PRIMARY KEY, "
    "NIBPCount integer DEFAULT 0, SPO2Count integer DEFAULT 0, TEMPCount integer DEFAULT 0, "
    "Newest DATETIME)",
    VM_SQL_FILL_TALLY,
    "CREATE TRIGGER IF NOT EXISTS Tally_Patient AFTER INSERT ON Patient BEGIN "
    "INSERT OR IGNORE INTO PatientTally (PatientID) VALUES (NEW.PatientID); END",
    "CREATE TRIGGER IF NOT EXISTS TallyGone_Patient AFTER DELETE ON Patient BEGIN "
    "DELETE FROM PatientTally WHERE PatientID = OLD.PatientID; END",
    VM_SQL_TALLY_ADDED("NIBP"),
    VM_SQL_TALLY_ADDED("SPO2"),
    VM_SQL_TALLY_ADDED("TEMP"),
    VM_SQL_TALLY_REMOVED("NIBP"),
    VM_SQL_TALLY_REMOVED("SPO2"),
    VM_SQL_TALLY_REMOVED("TEMP")};
