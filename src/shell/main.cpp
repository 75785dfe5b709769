#include "platform/forms/application.h"
#include "shell/unit1.h"

int main(int argc, char* argv[]) {
    return platform::TApplication::Main(argc, argv,
                                        [](platform::TApplication& application) { application.CreateForm<TForm1>(); });
}
