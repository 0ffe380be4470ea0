// The check's parts over the fake transport, with helpers to answer their requests.
#pragma once

#include <gtest/gtest.h>

#include "SessionParts.h"

namespace qv::test
{

class SessionFixture : public ::testing::Test, public SessionParts<fake::FakeSoapTransport>
{
protected:
    // The probe and the POST of a first request.
    void AnswerWith(const std::string& sBody, bool bProbe = true)
    {
        if (bProbe)
            Soap.Replies.push_back(fake::FakeSoapTransport::Ok({}));
        Soap.Replies.push_back(fake::FakeSoapTransport::Ok(sBody));
    }
};

} // namespace qv::test
