// Registers font files with Qt's font database for this process, and tells which family a
// face name ("LCD") stands for. Needs a QGuiApplication: without one add() fails.
// add() and removeAll() belong to the UI thread (start-up and teardown); familyFor() may be
// called from any thread.
#pragma once

#include "platform/FontRegistry.h"

#include <QString>

#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace movira {

class QtFontRegistry final : public FontRegistry {
public:
    // Told the family of each face registered, so that a layer above can resolve the face.
    using OnRegistered = std::function<void(const std::string& face, const QString& family)>;

    explicit QtFontRegistry(OnRegistered onRegistered = {});
    ~QtFontRegistry() override;
    QtFontRegistry(const QtFontRegistry&) = delete;
    QtFontRegistry& operator=(const QtFontRegistry&) = delete;

    // Adding a face again points it at the new file; the old one stays until removeAll().
    bool add(const std::string& path, const std::string& face) override;
    // Forgets the faces too. Without the application (already destroyed) the fonts went
    // with its database, so only the records are cleared.
    void removeAll() override;

    // The family of the file last registered as `face`; empty when none is.
    std::optional<QString> familyFor(const std::string& face) const;

private:
    const OnRegistered onRegistered_;
    mutable std::mutex mutex_;  // guards ids_ and families_
    std::vector<int> ids_;      // Qt's application-font ids, in order of adding
    std::map<std::string, QString> families_;
};

}  // namespace movira
