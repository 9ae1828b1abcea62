#include "app/BankService.h"
#include "app/AppContext.h"
#include "app/AppEvents.h"

void ReplaceBank(AppContext &context, const BankReplaceStep &step) {
  ReplaceOpenBank(context.dm, step);
  emit context.events.bankReplaced();
}
