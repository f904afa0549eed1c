/* The grammar of the condition language, the input of tools/cond_tables, which writes the parser
 * tables of cond_tables.h from it with Berkeley yacc. The build uses the written tables only; run
 * the tool after any change here. The rules' values are computed in CondParser::Reduce
 * (cond_parser.cpp), by rule number: keep the rules in this order.
 *
 * Token numbers: NUMBER 257, GE 258, LE 259, NE 260, BADTOKEN 261 (what the lexer gives for a word
 * or byte it does not know: no rule takes it), CONST 262, FUNC0-FUNC4 263-267.
 */
%token NUMBER GE LE NE BADTOKEN CONST FUNC0 FUNC1 FUNC2 FUNC3 FUNC4
%left '|'
%left '&'
%left '=' '<' '>' GE LE NE
%right '!' '-'
%start list
%%
list:                                               /*  1 */
    | list ';'                                      /*  2: an empty statement, skipped */
    | list expr ';'                                 /*  3: the parse ends with the value */
    | list error ';'                                /*  4: recovery up to the next ';' */
    ;
expr: NUMBER                                        /*  5 */
    | CONST                                         /*  6 */
    | FUNC0 '(' ')'                                 /*  7 */
    | FUNC1 '(' expr ')'                            /*  8 */
    | FUNC2 '(' expr ',' expr ')'                   /*  9 */
    | FUNC3 '(' expr ',' expr ',' expr ')'          /* 10 */
    | FUNC4 '(' expr ',' expr ',' expr ',' expr ')' /* 11 */
    | expr '|' expr                                 /* 12 */
    | expr '&' expr                                 /* 13 */
    | expr '=' expr                                 /* 14 */
    | expr '<' expr                                 /* 15 */
    | expr '>' expr                                 /* 16 */
    | expr GE expr                                  /* 17 */
    | expr LE expr                                  /* 18 */
    | expr NE expr                                  /* 19 */
    | '!' expr                                      /* 20 */
    | '(' expr ')'                                  /* 21 */
    | '-' expr                                      /* 22 */
    ;
%%
