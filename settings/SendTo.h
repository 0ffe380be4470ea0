// What every settings save keeps in the shell: the Send To shortcut that starts the program with the chosen
// files, and no Office add-in documents left from older versions of the program.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "platform/Dialogs.h"
#include "platform/Files.h"
#include "platform/Integration.h"
#include "platform/Integration.h"
#include "platform/ShellLinks.h"

namespace qv
{

class ShortcutKeeper final : public IIntegration
{
public:
    ShortcutKeeper(IShellLinks& links, IFiles& files, IDialogs& dialogs) : Links(links), Files(files), Dialogs(dialogs)
    {
    }
    void ApplyShortcuts() override;

    std::string SendToShortcutFile();
    // Where the add-in documents would be, Excel's, Word's and PowerPoint's in turn; a folder that does not exist
    // in any of its languages is left out.
    std::vector<std::string> AddinFiles();

private:
    void KeepSendToShortcut();
    void RemoveAddins();
    // The first of the localised folder names that exists, as a path; empty when none does.
    std::string FirstFolder(const std::string& sParent, std::initializer_list<const char*> names);

    IShellLinks& Links;
    IFiles& Files;
    IDialogs& Dialogs;
};

} // namespace qv
