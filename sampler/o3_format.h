/* The lines of O3.res as printf formats: the tool writes the file with
   them, and the sampler reads it back against them, so that the format is
   defined here and nowhere else. "%f" is a real with six decimals,
   "%20.16e" a real right-aligned in a field of 20, "%d" an integer, "%%" a
   percent sign; a format may hold more than one line. In file order:

   1. the head: TITLE, RULE, COPY_HEAD, HEAD_IN_C, DEFINE_ND_POI,
      DEFINE_N_HISTOGRAM, DEFINE_N_H_MAX, DASH, HEAD_IN_FORTRAN, PARAMETER,
      DASH;
   2. the lookup snippet, as stage 1 leaves it in temp1.tmp: COPY_SNIPPET,
      SNIPPET_IN_C, a C_LOOKUP per lookup line (from the second on after
      C_ELSE), C_CLOSE, DASH, SNIPPET_IN_FORTRAN, a FORTRAN_LOOKUP per line
      (after FORTRAN_ELSE from the second on), FORTRAN_CLOSE, END_COPY;
   3. the map: COUNT of its entries, then a MAP_ENTRY each;
   4. COUNT holding N_histogram, then for each histogram a RECORD and its
      Nd_poi + 1 points, a POINT each. Nothing follows.

   At its end, what a table may hold. */
#ifndef O3_FORMAT_H
#define O3_FORMAT_H

#define O3_TITLE "-> O(3) with H0=%f -> H_max=%f and loss=%f%%\n"
#define O3_RULE "------------------------------------------------------\n"
#define O3_COPY_HEAD "----> 1. copy these lines (do not remove!) -----------------\n"
#define O3_HEAD_IN_C "--> a. in C: at the beginning of the main program \n"
#define O3_DEFINE_ND_POI \
  "#define Nd_poi                   %d    // nb of points of each histogram\n"
#define O3_DEFINE_N_HISTOGRAM "#define N_histogram              %d    // nb of histograms\n"
#define O3_DEFINE_N_H_MAX \
  "#define N_H_max                 %d    // real H -> (int) -> value of H of histogram \n"
#define O3_DASH "-\n"
#define O3_HEAD_IN_FORTRAN "--> b. in FORTRAN: replace everywhere  \n"
#define O3_PARAMETER "PARAMETER(Nd_poi=%d,N_hist=%d,N_O_m=%d)\n"

#define O3_COPY_SNIPPET "----> 2. copy these lines at the beginning of the subroutine FA_O3 --\n"
#define O3_SNIPPET_IN_C "--> a. In C \n"
#define O3_C_ELSE "else "
#define O3_C_LOOKUP "if(h<%f ) j=%d+(int)(h/%f);\n"
#define O3_C_CLOSE "else {printf(\"H must be < %f\\n\"); exit(-1);}\n"
#define O3_SNIPPET_IN_FORTRAN "--> b. In FORTRAN \n"
#define O3_FORTRAN_ELSE "ELSE "
#define O3_FORTRAN_LOOKUP "IF(h.LT.%f ) THEN \n\t j=%d+int(h/%f)\n"
#define O3_FORTRAN_CLOSE "ELSE \n\tWRITE(6,*) \"H must be < %f\"\n\tSTOP\nENDIF\n"
#define O3_END_COPY "$------------------- end copy ------------------------\n"

#define O3_COUNT "%d\n"
#define O3_MAP_ENTRY "%d %d\n"
#define O3_RECORD "%d %f %d %f %20.16e\n"
#define O3_POINT "%20.16e\n"

/* What a table may hold: the reader refuses a table beyond any of these,
   and the tool takes its own limits from them, so that it never writes one
   its reader refuses. Beyond them the numbers cannot mean a table. */
#define O3_MAX_PIECES 600         /* pieces per histogram, Nd_poi */
#define O3_MAX_HISTOGRAMS 100000  /* histograms, N_histogram + 1 */
#define O3_MAX_MAP_ENTRIES 100000 /* map entries, N_H_max - 5 */
#define O3_MAX_LOOKUP_LINES 99    /* lookup lines, one per piece of the mapping */
#define O3_MAX_LINE 255           /* bytes of a line, its line end not counted */

#endif
