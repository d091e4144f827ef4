#pragma once

namespace orvalix {

// The language of the texts shown to users; platform::userLanguage tells the user's own.
enum class Language { English, Japanese };

}  // namespace orvalix
