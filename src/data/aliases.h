#pragma once
// Where the databases live. The engine resolves an alias (pacientdata,
// Errors) to a directory: an entry of its configuration file
// $XDG_CONFIG_HOME/talvora/aliases.conf ([aliases] name=path), or else
// $XDG_DATA_HOME/talvora/<alias>. The directory holds one SQLite file.

#include <QMap>
#include <QString>

namespace talvora::data {

inline constexpr const char* kWorkstationAlias = "pacientdata";
inline constexpr const char* kErrorAlias = "Errors";
inline constexpr const char* kDatabaseFileName = "database.sqlite";

class AliasResolver {
public:
    AliasResolver() = default;

    // Directory given explicitly (tests, the administration tool's --alias).
    void setDirectory(const QString& alias, const QString& directory);

    QString directory(const QString& alias) const;
    QString databaseFile(const QString& alias) const;

    static QString configFile();

private:
    QMap<QString, QString> overrides_; // alias in lower case -> directory
};

} // namespace talvora::data
