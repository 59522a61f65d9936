// Binds the trust services as the program does at start, and exits 0 when the binding worked.
#include <stdio.h>

#include "trust/CatalogVerifier.h"

int main()
{
    printf("trust %08lx catalog %08lx\n", (unsigned long)gCatalogVerifier.trustStatus,
           (unsigned long)gCatalogVerifier.catalogStatus);
    return gCatalogVerifier.catalogStatus >= 0 ? 0 : 1;
}
