#include "settings/SendTo.h"

#include "platform/Product.h"

namespace qv
{

namespace
{

std::string FolderOf(const std::string& sFile)
{
    const size_t nSlash = sFile.find_last_of("\\/");
    return nSlash == std::string::npos ? std::string() : sFile.substr(0, nSlash);
}

} // namespace

void ShortcutKeeper::ApplyShortcuts()
{
    KeepSendToShortcut();
    RemoveAddins();
}

std::string ShortcutKeeper::SendToShortcutFile()
{
    // The shell's own answer first: since Vista the profile's "SendTo" is only a link to it, and some systems
    // (Wine, a profile moved by policy) have no such link at all.
    std::string sFolder = Links.SendToFolder();
    if (sFolder.empty())
        sFolder = GetEnvironmentValue(Files, "USERPROFILE") + "\\SendTo";
    return sFolder + "\\Zimbra in Drafts folder.lnk";
}

void ShortcutKeeper::KeepSendToShortcut()
{
    const std::string sProgram = Links.ProgramFile();
    const std::string sLink = SendToShortcutFile();
    // A shortcut that already starts this program is left as the user may have changed it.
    if (FileExists(Files, sLink) && Links.LinkTarget(sLink) == sProgram)
        return;
    ShellLinkFields fields;
    fields.sPath = sProgram;
    fields.sIconPath = sProgram;
    fields.sDescription = std::string(sProductTitle);
    fields.sWorkingDirectory = FolderOf(sProgram);
    (void)Links.SaveLink(sLink, fields); // a Send To folder that cannot be written only costs the shortcut
}

std::string ShortcutKeeper::FirstFolder(const std::string& sParent, std::initializer_list<const char*> names)
{
    for (const char* sName : names)
    {
        const std::string sFolder = sParent + "\\" + sName;
        if (IsDirectory(Files, sFolder))
            return sFolder;
    }
    return {};
}

std::vector<std::string> ShortcutKeeper::AddinFiles()
{
    const std::string sOffice = GetEnvironmentValue(Files, "APPDATA") + "\\Microsoft";
    const std::string sWord = FirstFolder(sOffice + "\\Word", {"Startup", "Start", "Starten", "Inicio", "Démarrage",
                                                               "Di avvio", "Oppstart", "Starcie", "Inicialização"});
    const std::string sPowerPoint = FirstFolder(sOffice, {"Addins", "Complementos", "Suplementos", "Accessori",
                                                          "Zubehör", "Accessoires", "Akcesoria", "Starcie"});
    std::vector<std::string> files = {sOffice + "\\Excel\\XLSTART\\Velduran.xla"};
    if (!sWord.empty())
        files.push_back(sWord + "\\Velduran.dot");
    if (!sPowerPoint.empty())
        files.push_back(sPowerPoint + "\\Velduran.ppa");
    return files;
}

void ShortcutKeeper::RemoveAddins()
{
    for (const std::string& sFile : AddinFiles())
    {
        if (!FileExists(Files, sFile))
            continue;
        // Office holds its add-ins open: the user can let go of them; any other failure is not the user's to mend.
        if (Links.DeleteFile(sFile) == DeleteOutcome::InUse)
            Dialogs.ShowMessageBox("Cannot delete\r\n" + sFile + "\r\nPermission Denied. Exit MS Office first",
                                   nMbExclamation | nMbTopMost, ProductCaption());
    }
}

} // namespace qv
