#include "host/compat_layer.h"

#include <gtest/gtest.h>

// The value before a switch, after HD and after Classic ("-": deleted).
const wchar_t* const kMerges[][3] = {
    {L"", L"~ GDIDPISCALING DPIUNAWARE", L"-"},
    {L"~ RUNASADMIN", L"~ RUNASADMIN GDIDPISCALING DPIUNAWARE", L"~ RUNASADMIN"},
    {L"~ HIGHDPIAWARE", L"~ GDIDPISCALING DPIUNAWARE", L"-"},
    {L"^ WIN7RTM DPIUNAWARE RUNASADMIN", L"^ WIN7RTM RUNASADMIN GDIDPISCALING DPIUNAWARE",
     L"^ WIN7RTM RUNASADMIN"},
    {L" ~^~  HighDpiAware  X  gdidpiscaling ", L"~^~ X GDIDPISCALING DPIUNAWARE", L"~^~ X"},
    {L"RUNASADMIN HIGHDPIAWARE", L"RUNASADMIN GDIDPISCALING DPIUNAWARE", L"RUNASADMIN"},
    {L"DPIUNAWARE", L"~ GDIDPISCALING DPIUNAWARE", L"-"},
    {L"^", L"^ GDIDPISCALING DPIUNAWARE", L"-"},
    {L"X ~ DPIUNAWARE2 AHIGHDPIAWARE", L"X ~ DPIUNAWARE2 AHIGHDPIAWARE GDIDPISCALING DPIUNAWARE",
     L"X ~ DPIUNAWARE2 AHIGHDPIAWARE"},
    {L"# HIGHDPIAWARE", L"# GDIDPISCALING DPIUNAWARE", L"-"},
    {L"!# RUNASADMIN HIGHDPIAWARE", L"!# RUNASADMIN GDIDPISCALING DPIUNAWARE", L"!# RUNASADMIN"},
    {L"~\tRUNASADMIN\tDPIUNAWARE", L"~ RUNASADMIN GDIDPISCALING DPIUNAWARE", L"~ RUNASADMIN"},
    {L"RUNASADMIN\tHIGHDPIAWARE", L"RUNASADMIN GDIDPISCALING DPIUNAWARE", L"RUNASADMIN"},
};

TEST(MergedLayers, ReplacesOnlyTheDpiOverrideAndDeletesAValueLeftWithoutLayers) {
    for (const auto& [value, hd, classic] : kMerges)
        for (const bool isClassic : {false, true})
            EXPECT_EQ(isClassic ? classic : hd, MergedLayers(value, isClassic).value_or(L"-"))
                << (isClassic ? "Classic" : "HD") << " on " << testing::PrintToString(value);
}
