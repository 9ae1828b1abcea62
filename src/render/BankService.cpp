#include "render/BankService.h"
#include "render/AppContext.h"
#include "render/AppEvents.h"

void ReplaceBank(AppContext &context, const BankReplaceStep &step) {
  ReplaceOpenBank(context.dm, step);
  emit context.events.bankReplaced();
}
