// main.cpp - the program's entry: runs the game and passes its result on as the exit status.
#include "game.h"

int main() {
    char commandLine[] = "";
    return WinMain(nullptr, nullptr, commandLine, 1);
}
