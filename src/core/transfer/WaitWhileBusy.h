#pragma once

class Inet;

// Returns once the component's command has ended. Meanwhile every window keeps getting
// its input: the wait sleeps until the next event (the component posts one when a
// command ends), so a long upload costs no processor time.
void WaitWhileBusy(Inet& Inet1);
