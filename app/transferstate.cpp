#include "app/transferstate.h"

TransferState &transferState()
{
    static TransferState state;
    return state;
}
