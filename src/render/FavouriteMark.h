#pragma once
// What the page's favourite link asks for a sub-question's mark: the state
// its link shows after the click, or (a page that passes none) a flip.

enum class FavouriteMark { Clear, Set, Flip };
