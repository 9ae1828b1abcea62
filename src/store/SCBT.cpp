#include "store/DM.h"
#include "store/FavouritesRepository.h"

QString TDataModule1::SCBT(const QString &ASQL) { return FavouritesRepository(ADOConnection1).toggleFromPage(ASQL); }
