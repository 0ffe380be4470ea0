// A frmMain on fake machinery, with helpers to store settings and to answer its requests.
#pragma once

#include <gtest/gtest.h>

#include "app/frmMain.h"
#include "platform/fake/Fakes.h"
#include "settings/SettingsStore.h"

namespace qv::test
{

class FormFixture : public ::testing::Test
{
protected:
    fake::FakeMachine M;
    frmMain Form{M.Bundle};

    void Store(const std::string& sName, const std::string& sValue)
    {
        M.Registry.Put(sSettingsKey, sName, RegValue{RegKind::Text, sValue, 0});
    }
    std::string Stored(const std::string& sName) { return M.Registry.Text(sSettingsKey, sName); }
    void StoreAccount(const std::string& sHost = "mail.example.com")
    {
        Store("ZimbraHost", sHost);
        Store("Username", "alice");
        Store("Password", "text:secret");
    }
    // The probe and the POST of a first request.
    void AnswerWith(const std::string& sBody, bool bProbe = true)
    {
        if (bProbe)
            M.Soap.Replies.push_back(fake::FakeSoapTransport::Ok({}));
        M.Soap.Replies.push_back(fake::FakeSoapTransport::Ok(sBody));
    }
    // The entries' texts of a menu, in order.
    static std::vector<std::string> Texts(const PopupMenu& menu)
    {
        std::vector<std::string> texts;
        for (const MenuEntry& entry : menu)
            texts.push_back(entry.sText);
        return texts;
    }
    size_t Saves() const
    {
        size_t n = 0;
        for (const std::string& sName : M.Registry.WriteOrder)
            n += sName == "ZimbraHost";
        return n;
    }
};

} // namespace qv::test
