// What the core needs of the display that shows its pages: a notice after every complete
// fix, the pages' settings sections and the current page. The display implements it; the
// core owns it without knowing how pages are drawn.
#pragma once

namespace movira {

class IniFile;

class PageDisplay {
public:
    virtual ~PageDisplay() = default;
    // Reader thread, right after the sensors were updated, outside the model lock.
    virtual void notifyFix() = 0;
    // Every page reads / writes its own section (initialisation thread / UI thread).
    virtual void loadSettings(const IniFile& ini) = 0;
    virtual void saveSettings(IniFile& ini) = 0;
    // The page shown (0..5), and the page to show; values outside the range wrap.
    virtual int currentIndex() const = 0;
    virtual void setCurrentIndex(int index) = 0;
};

}  // namespace movira
