// The language list: codes from the setup script named by the system's
// locales, sorted, and the choice of the starting language.
#include <gtest/gtest.h>

#include "Common.h"
#include "Setup.h"

namespace {

Str UserLanguageCode()
{
    char Code[4] = "";
    GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SABBREVLANGNAME, Code, sizeof(Code));
    return Str(Code);
}

Str LanguageName(LCID Locale)
{
    char Name[100] = "";
    GetLocaleInfoA(Locale, LOCALE_SLANGUAGE, Name, sizeof(Name));
    return Str(Name);
}

TEST(LanguageList, OfferedCodesGetTheSystemsNamesAndAreSorted)
{
    BuildLanguageList("Rus,Enu");
    ASSERT_EQ(LanguageList.Count(), 2);
    EXPECT_EQ(LanguageList.NameAt(0), "ENU");
    EXPECT_EQ(LanguageList.ValueAt(0), LanguageName(MAKELCID(0x0409, SORT_DEFAULT)));
    EXPECT_EQ(LanguageList.NameAt(1), "RUS");
    EXPECT_EQ(LanguageList.ValueAt(1), LanguageName(MAKELCID(0x0419, SORT_DEFAULT)));
    EXPECT_FALSE(LanguageList.ValueAt(1).Empty());
}

TEST(LanguageList, NoLanguagesMeansEnglishAlone)
{
    BuildLanguageList("");
    ASSERT_EQ(LanguageList.Count(), 1);
    EXPECT_EQ(LanguageList.NameAt(0), "ENG");
    ChooseLanguageCode();
    EXPECT_EQ(LanguageCode, "ENG");
}

TEST(LanguageList, EmptyWordsDropAndUnknownCodesKeepAnEmptyName)
{
    BuildLanguageList(",ENU,,XYZ, Rus,");
    ASSERT_EQ(LanguageList.Count(), 3);
    // Sorted whole: the blank sorts first; it names no locale.
    EXPECT_EQ(LanguageList.Get(0), " Rus=");
    EXPECT_EQ(LanguageList.NameAt(1), "ENU");
    EXPECT_EQ(LanguageList.Get(2), "XYZ=");
}

TEST(LanguageList, StartsInTheUsersLanguageWhenOffered)
{
    Str User = UserLanguageCode();
    ASSERT_FALSE(User.Empty());
    BuildLanguageList((Str("ZZZ,") + User).c_str());
    ChooseLanguageCode();
    EXPECT_EQ(LanguageCode, User);
}

TEST(LanguageList, OtherwiseStartsInTheFirstSortedCode)
{
    // Offer languages other than the user's, in unsorted order.
    Str User = UserLanguageCode();
    Str Offer;
    for (const char* Code : {"Ita", "Fra", "Deu"})
        if (!AnsiSameText(Code, User.c_str())) Offer += Str(Offer.Empty() ? "" : ",") + Code;
    BuildLanguageList(Offer.c_str());
    ChooseLanguageCode();
    EXPECT_EQ(LanguageCode, LanguageList.NameAt(0));
    EXPECT_EQ(LanguageCode, User == "DEU" ? "FRA" : "DEU");
}

} // namespace
