#include "params.h"

namespace talvora::data {

void Params::set(const QString& name, const QVariant& value)
{
    for (auto& [n, v] : values_)
        if (n.compare(name, Qt::CaseInsensitive) == 0) {
            v = value;
            return;
        }
    values_.emplace_back(name, value);
}

bool Params::contains(const QString& name) const
{
    for (const auto& item : values_)
        if (item.first.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

QVariant Params::value(const QString& name) const
{
    for (const auto& [n, v] : values_)
        if (n.compare(name, Qt::CaseInsensitive) == 0)
            return v;
    return {};
}

void Params::remove(const QString& name)
{
    std::erase_if(values_, [&](const auto& item) { return item.first.compare(name, Qt::CaseInsensitive) == 0; });
}

} // namespace talvora::data
