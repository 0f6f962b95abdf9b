#include "TempDir.h"
#include "TestPaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace gwtest {

TempDir::TempDir() = default;

QString TempDir::write(const QString& name, const QByteArray& content) const
{
    const QString p = file(name);
    writeFile(p, content);
    return p;
}

QByteArray TempDir::read(const QString& name) const
{
    return readFile(file(name));
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

void writeFile(const QString& path, const QByteArray& content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(content);
}

QString testData(const QString& name)
{
    return QStringLiteral(GW_TEST_DATA "/") + name;
}

} // namespace gwtest
