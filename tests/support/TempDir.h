#pragma once
#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include "Printers.h"

namespace gwtest {

// A temporary folder, removed at the end of the test; paths inside it end without "/".
class TempDir
{
public:
    TempDir();
    QString path() const { return m_dir.path(); }
    QString file(const QString& name) const { return m_dir.filePath(name); }
    QString write(const QString& name, const QByteArray& content) const;
    QByteArray read(const QString& name) const;

private:
    QTemporaryDir m_dir;
};

QByteArray readFile(const QString& path);
void writeFile(const QString& path, const QByteArray& content);
QString testData(const QString& name);

} // namespace gwtest
