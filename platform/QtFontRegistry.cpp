#include "platform/QtFontRegistry.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QStringList>

namespace movira {
namespace {

// QFontDatabase needs the platform's font database, which only a QGuiApplication brings.
bool haveGuiApplication() {
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
}

}  // namespace

QtFontRegistry::QtFontRegistry(OnRegistered onRegistered) : onRegistered_(std::move(onRegistered)) {}

QtFontRegistry::~QtFontRegistry() { removeAll(); }

bool QtFontRegistry::add(const std::string& path, const std::string& face) {
    if (path.empty() || !haveGuiApplication()) return false;
    const int id = QFontDatabase::addApplicationFont(QString::fromStdString(path));
    if (id < 0) return false;
    const QStringList families = QFontDatabase::applicationFontFamilies(id);
    if (families.isEmpty() || families.front().isEmpty()) {
        QFontDatabase::removeApplicationFont(id);
        return false;
    }
    const QString family = families.front();
    {
        std::lock_guard lock(mutex_);
        ids_.push_back(id);
        families_[face] = family;
    }
    if (onRegistered_) onRegistered_(face, family);
    return true;
}

void QtFontRegistry::removeAll() {
    std::vector<int> ids;
    {
        std::lock_guard lock(mutex_);
        ids.swap(ids_);
        families_.clear();
    }
    if (!haveGuiApplication()) return;
    for (int id : ids) QFontDatabase::removeApplicationFont(id);
}

std::optional<QString> QtFontRegistry::familyFor(const std::string& face) const {
    std::lock_guard lock(mutex_);
    const auto found = families_.find(face);
    if (found == families_.end()) return std::nullopt;
    return found->second;
}

}  // namespace movira
