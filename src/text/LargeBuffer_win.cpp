#include "text/LargeBuffer.h"

// Large pages on Windows need a privilege an ordinary program does not hold.
void AdviseLargePages(void * /*data*/, qsizetype /*size*/)
{}
