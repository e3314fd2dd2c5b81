#include "StagedExportFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QUuid>

StagedExportFolder::StagedExportFolder(const QString &strTarget) : m_strTarget(strTarget)
{
    const QFileInfo target(strTarget);
    QDir parent = target.dir();
    // A short hidden name of its own: the target's may be as long as a name can be.
    const QString strName = QStringLiteral(".export-") + QUuid::createUuid().toString(QUuid::Id128);
    if (parent.mkpath(QStringLiteral(".")) && parent.mkdir(strName))
        m_strStaged = parent.filePath(strName);
}

StagedExportFolder::~StagedExportFolder()
{
    if (IsValid())
        QDir(m_strStaged).removeRecursively();
}

bool StagedExportFolder::Publish()
{
    if (!IsValid())
        return false;
    const bool bExists = QFileInfo::exists(m_strTarget);
    if (!bExists && QDir().rename(m_strStaged, m_strTarget)) {
        m_strStaged.clear();
        return true;
    }
    return bExists && MoveFilesInto(m_strTarget);
}

bool StagedExportFolder::MoveFilesInto(const QString &strTarget)
{
    QDir target(strTarget);
    for (const QString &strFile : target.entryList(QDir::Files))
        target.remove(strFile);
    QDir staged(m_strStaged);
    const QStringList files = staged.entryList(QDir::Files);
    for (int i = 0; i < files.size(); ++i) {
        if (!staged.rename(files.at(i), target.filePath(files.at(i)))) {
            // Part of an export would pass for all of it.
            for (int j = 0; j < i; ++j)
                target.remove(files.at(j));
            return false;
        }
    }
    return true; // the empty temporary folder goes with the object
}
