A 1
AB 2
X 
%%
AB A X
#define Y X+1
#ifdef A
Y
#else
no
#else
again
#endif
#endif
#ifndef Q trailing
	#define	T	v a l  
T
#undef T
T
#ifdef A
#ifdef B
