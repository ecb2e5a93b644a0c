// Which program SipLink attaches, asks its user about, or turns away.
#include <gtest/gtest.h>

#include "siplink/ClientAccess.h"

namespace {

const char* const Installed = "C:\\Program Files\\DectBridge\\DectBridge.exe";
const ClientAccess::Client Bridge{"c:\\program files\\dectbridge\\DECTBRIDGE.EXE", 1};
const ClientAccess::Client Stranger{"C:\\Users\\x\\spy.exe", 2};
const ClientAccess::Client Another{"C:\\Tools\\other.exe", 3};

TEST(ClientAccess, TheInstalledProgramIsAttachedAtOnceAnyOtherOnlyWhenTheUserAllowsIt) {
    ClientAccess access(Installed);
    EXPECT_EQ(access.OnDiscover(Bridge, nullptr), ClientAccess::Attach);
    EXPECT_EQ(access.OnDiscover(Stranger, nullptr), ClientAccess::Ask);
    EXPECT_EQ(access.OnDiscover(Another, nullptr), ClientAccess::Wait) << "a second question at once";
    access.Answered(Stranger, false, nullptr);
    EXPECT_EQ(access.OnDiscover(Stranger, nullptr), ClientAccess::Refuse) << "asked again after a refusal";
    EXPECT_EQ(access.OnDiscover(Another, nullptr), ClientAccess::Ask);
    access.Answered(Another, true, nullptr);
    EXPECT_EQ(access.OnDiscover({Another.program, 9}, nullptr), ClientAccess::Attach)
        << "allowed once: attached again without asking";
    EXPECT_EQ(access.OnDiscover({"", 4}, nullptr), ClientAccess::Ask) << "a program that cannot be named";
}

TEST(ClientAccess, AnAttachedClientIsReplacedOnlyByTheUsersChoiceAndTheOneReplacedWaits) {
    ClientAccess access(Installed);
    EXPECT_EQ(access.OnDiscover(Bridge, &Bridge), ClientAccess::Attach) << "the attached window itself";
    EXPECT_EQ(access.OnDiscover({Installed, 5}, &Bridge), ClientAccess::Ask)
        << "even the installed program does not displace an attached client silently";
    access.Answered({Installed, 5}, false, &Bridge);
    EXPECT_EQ(access.OnDiscover(Bridge, &Bridge), ClientAccess::Attach) << "the attached client stays";

    ClientAccess fresh(Installed);
    EXPECT_EQ(fresh.OnDiscover(Stranger, &Bridge), ClientAccess::Ask);
    fresh.Answered(Stranger, true, &Bridge);
    EXPECT_EQ(fresh.OnDiscover(Bridge, &Stranger), ClientAccess::Wait) << "the replaced client took it back";
    EXPECT_EQ(fresh.OnDiscover(Bridge, nullptr), ClientAccess::Attach) << "once the other is gone";
    EXPECT_EQ(fresh.OnDiscover(Stranger, &Bridge), ClientAccess::Ask)
        << "allowed before, but the line is taken";
}

} // namespace
