#include "GlobalData.h"

#include "Texts.h"

std::string WelcomeText = kWelcomeTemplate;
std::string FinishText = kFinishText;

TCustomFileToSave CustomFiles[kCustomFileCount] = {
    {"", "Queries\\NONAME.TWX", "Trawlmark Query Folder"},
    {"", "TWXData\\Entry.db", "Trawlmark Engine Registry"},
    {"", "TWXData\\Set.db", "Trawlmark Engine Sets"},
};
