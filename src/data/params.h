#pragma once
// Named parameter values; names are matched without regard to letter case.

#include <QString>
#include <QVariant>

#include <utility>
#include <vector>

namespace talvora::data {

class Params {
public:
    void set(const QString& name, const QVariant& value);
    bool contains(const QString& name) const;
    QVariant value(const QString& name) const; // invalid when absent
    void remove(const QString& name);
    void clear() { values_.clear(); }
    const std::vector<std::pair<QString, QVariant>>& items() const { return values_; }

private:
    std::vector<std::pair<QString, QVariant>> values_;
};

} // namespace talvora::data
