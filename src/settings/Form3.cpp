#include "settings/Form3.h"
#include "platform/WindowRegistry.h"
#include "transfer/Form1.h"

#include <QPushButton>

Form3::Form3()
{
    connect(Command2, &QPushButton::clicked, this, &Form3::Chiudi);
}

void Form3::Chiudi()
{
    Unload();
    WindowRegistry::Instance().Get<Form1>()->Show();
}
