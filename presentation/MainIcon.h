// The main notification-area icon: the tray model's operations handed to the shell's icon.
#pragma once

#include "platform/Tray.h"
#include "presentation/TrayModel.h"

namespace qv
{

class MainIcon final : public IMainIcon
{
public:
    explicit MainIcon(ITrayIcon& icon) : Icon(icon) {}

    bool Add() override;
    bool Delete() override;
    void IconReset() override;
    void IconAdd(const std::string& sMensaje, int64_t nSinLeer) override;

    const NotifyRecord& Record() const { return Model.Record(); }

private:
    ITrayIcon& Icon;
    TrayModel Model;
};

} // namespace qv
