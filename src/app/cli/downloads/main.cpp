// quivra-downloader-downloads: the commands of the download list (get, list, resume), the
// one command program that loads the download engine and downloads.db. quivra-downloader
// hands the process over to it for them.
#include "app/cli/command_line.h"

int main(int argc, char* argv[]) {
    return quivra::runCommandLine(argc, argv);
}
