#include "webmail/Webmail.h"

#include <gtest/gtest.h>

namespace qv
{
namespace
{

WebmailAccount LoggedIn()
{
    WebmailAccount account;
    account.sHost = "mail.example.com";
    account.sAuthToken = "0_ab";
    account.sServerVersion = "8.8.15_GA";
    return account;
}

TEST(WebmailAddress, EachFormOfTheAddress)
{
    WebmailAccount account = LoggedIn();
    EXPECT_EQ(WebmailAddress(account, "a b@x.com&subject=50% off"),
              "http://mail.example.com/service/preauth?isredirect=1&authtoken=0_ab&redirectURL="
              "http://mail.example.com/zimbra/mail%3Fview=compose%26to=a%20b@x.com%26subject=50%25%20off");
    account.sServerVersion = "7.1.4_GA_2555.RHEL5_64";
    account.bSsl = true;
    EXPECT_EQ(WebmailAddress(account, ""),
              "https://mail.example.com/service/preauth?isredirect=1&authtoken=0_ab&redirectURL=/zimbra/mail");
    account.bLogin = false;
    EXPECT_EQ(WebmailAddress(account, "bob@x.com&subject=Hi"),
              "https://mail.example.com/zimbra/mail?view=compose&to=bob@x.com&subject=Hi");
}

} // namespace
} // namespace qv
