#pragma once

#include <QString>

// The folder of one export, written under a temporary name beside its target
// and given the target's name only once every file in it is complete: a
// failed export leaves nothing of itself behind. Without Publish() the
// temporary folder is removed when the object goes away.
class StagedExportFolder
{
public:
    // Creates the target's parent folders and the temporary folder.
    explicit StagedExportFolder(const QString &strTarget);
    ~StagedExportFolder();
    StagedExportFolder(const StagedExportFolder &) = delete;
    StagedExportFolder &operator=(const StagedExportFolder &) = delete;

    bool IsValid() const { return !m_strStaged.isEmpty(); }
    // Where the files are written until they are published.
    QString Path() const { return m_strStaged; }
    // Renames the folder to the target. A target that exists already (an
    // export within the same second) is emptied of its files and gets the new
    // ones. False when the files could not be put in place; then none of them
    // is left in the target.
    bool Publish();

private:
    bool MoveFilesInto(const QString &strTarget);

    QString m_strTarget;
    QString m_strStaged;
};
