#include "presentation/Icontify.h"

namespace qv
{

void Icontify::Iconizar(const std::string& sDescripcion)
{
    const bool bAdd = !bTieneIcono;
    if (bAdd)
        Icon = Icons.Create(Tag);
    if (!Icon)
        return; // no window for the icon: nothing to show, nothing to leak
    (void)Icon->Apply(Model.IconizarCal(hIcono, sDescripcion, bAdd), Model.Record());
    bTieneIcono = true;
}

void Icontify::BorraIcono()
{
    if (!bTieneIcono)
        return;
    if (Icon)
        (void)Icon->Apply(ShellCommand::Delete, Model.Record());
    Icon.reset();
    bTieneIcono = false;
}

} // namespace qv
