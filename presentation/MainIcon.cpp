#include "presentation/MainIcon.h"

namespace qv
{

bool MainIcon::Add()
{
    return Icon.Apply(Model.Iconizar(TrayIconKind::Window), Model.Record());
}

bool MainIcon::Delete()
{
    return Icon.Apply(ShellCommand::Delete, Model.Record());
}

void MainIcon::IconReset()
{
    (void)Icon.Apply(Model.IconReset(TrayIconKind::Window), Model.Record()); // no taskbar: the shell says no
}

void MainIcon::IconAdd(const std::string& sMensaje, int64_t nSinLeer)
{
    (void)Icon.Apply(Model.IconAdd(sMensaje, nSinLeer, TrayIconKind::NewMail), Model.Record());
}

} // namespace qv
