#include "aliases.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>

namespace talvora::data {

void AliasResolver::setDirectory(const QString& alias, const QString& directory)
{
    overrides_.insert(alias.toLower(), directory);
}

QString AliasResolver::configFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/talvora/aliases.conf");
}

QString AliasResolver::directory(const QString& alias) const
{
    if (auto it = overrides_.find(alias.toLower()); it != overrides_.end())
        return QDir::cleanPath(*it);
    const QSettings config(configFile(), QSettings::IniFormat);
    for (const QString& key : config.allKeys()) {
        // keys come as "aliases/name"
        if (key.section(u'/', 0, 0).compare(QStringLiteral("aliases"), Qt::CaseInsensitive) == 0 &&
            key.section(u'/', 1).compare(alias, Qt::CaseInsensitive) == 0) {
            const QString dir = config.value(key).toString();
            if (!dir.isEmpty())
                return QDir::cleanPath(dir);
        }
    }
    return QDir::cleanPath(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                           QStringLiteral("/talvora/") + alias);
}

QString AliasResolver::databaseFile(const QString& alias) const
{
    return directory(alias) + u'/' + QString::fromLatin1(kDatabaseFileName);
}

} // namespace talvora::data
