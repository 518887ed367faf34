#pragma once

#include <wx/app.h>

// The application object: builds and shows the one window; the toolkit ends
// the program when that window is gone.
class VantorelApp : public wxApp {
public:
    bool OnInit() override;
};
