unit Café;
procedure	X;
(bookmark) y
{*} z
